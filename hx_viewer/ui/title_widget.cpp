#include "title_widget.h"

#include "hx_button.h"
#include "vw_language.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QStyleOption>

TitleWidget::TitleWidget(QWidget *parent, const QString &title, const QString &logo, bool closeButton)
    : QWidget(parent)
{
    setFixedHeight(39);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setObjectName(QStringLiteral("popup_title"));
    setStyleSheet(QStringLiteral(
        "TitleWidget{border-image: url(:/image/title_bg.png) 0 0 0 0 repeat stretch;}"));

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setAlignment(Qt::AlignLeft);

    if (!logo.isEmpty()) {
        auto *logoLabel = new QLabel(this);
        logoLabel->setPixmap(QPixmap(QStringLiteral(":/image/") + logo));
        logoLabel->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
        layout->addWidget(logoLabel);
    } else if (!title.isEmpty()) {
        layout->addSpacing(10);
        m_titleLabel = new QLabel(title, this);
        m_titleLabel->setObjectName(QStringLiteral("title_label"));
        m_titleLabel->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
        layout->addWidget(m_titleLabel);
    }

    auto *closeArea = new QWidget(this);
    closeArea->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto *closeLayout = new QHBoxLayout(closeArea);
    closeLayout->setContentsMargins(0, 0, 0, 0);
    closeLayout->setSpacing(0);
    closeLayout->setAlignment(Qt::AlignRight);
    layout->addWidget(closeArea);
    if (closeButton) {
        m_closeButton = HxButton::createImageButton(closeArea, closeLayout,
                                                    QStringLiteral("title_close"),
                                                    QStringLiteral("閉じる"), QSize(38, 38));
        const QString english = QStringLiteral("Close");
        VwLanguage *language = VwLanguage::instance();
        language->registerText(VwLanguage::LANGUAGE_ENGLISH, VwLanguage::TEXT_KIND_TOOLTIP,
                               m_closeButton, english);
        if (language->language != VwLanguage::LANGUAGE_JAPANESE)
            m_closeButton->setToolTip(english);
        closeLayout->addSpacing(7);
    }
}

void TitleWidget::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QStyleOption option;
    option.initFrom(this);
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
}
