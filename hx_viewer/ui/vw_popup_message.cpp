#include "vw_popup_message.h"

#include "vw_button.h"

#include <QApplication>
#include <QBoxLayout>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace {
constexpr int kTextMargin = 30;
}

int VwPopupMessage::textWidth(const QString &text)
{
    QFont font = QApplication::font();
    font.setWeight(QFont::Bold);
    font.setPointSize(16);
    const QFontMetrics metrics(font);
    // Measured line by line: the font metrics would put the lines of a
    // message side by side and make the popup twice as wide as it needs.
    int width = 0;
    for (const QString &line : text.split(QLatin1Char('\n')))
        width = qMax(width, metrics.boundingRect(line).width());
    return width;
}

VwPopupMessage::VwPopupMessage(QWidget *parent, const QString &title, const QString &text)
    : VwPopup(parent, title, QString(), Qt::WindowFlags())
{
    QVBoxLayout *panelLayout = addContentPanel();
    panelLayout->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    QWidget *panel = panelLayout->parentWidget();
    panel->setMinimumHeight(80);

    m_textLabel = addTextLabel(panel, panelLayout, text, QStringLiteral("text_header_label"));
    m_textLabel->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_textLabel->setWordWrap(true);

    _okButton = VwButton::create(_buttonBar, _buttonLayout, QStringLiteral("popup_button"),
                                 QString(), QSize(120, 30));
    _okButton->setText(QStringLiteral("OK"));
    connect(_okButton, &QPushButton::clicked, this, &QDialog::accept);

    // Never narrower than the title and the button need, never wider than the
    // screen: a long message wraps instead of pushing the OK button off screen.
    int width = qMax(textWidth(text) + kTextMargin, _mainLayout->minimumSize().width());
    const QScreen *screen = parent ? parent->screen() : QApplication::primaryScreen();
    if (screen)
        width = qMin(width, screen->availableGeometry().width());
    setFixedWidth(width);
}
