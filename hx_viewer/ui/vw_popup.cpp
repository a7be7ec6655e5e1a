#include "vw_popup.h"

#include "title_widget.h"
#include "vw_button.h"
#include "vw_language.h"
#include "vw_popup_content_background.h"
#include "vw_style.h"
#include "vw_widget_drag.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpacerItem>

int VwPopup::languageChoice = 0;

namespace {
constexpr int kPopupDragHeight = 39;
}

QLabel *addTextLabel(QWidget *parent, QBoxLayout *layout, const QString &text,
                     const QString &objectName)
{
    auto *label = new QLabel(text, parent);
    layout->addWidget(label);
    label->setObjectName(objectName);
    return label;
}

void addFixedSpacer(QBoxLayout *layout, int width, int height)
{
    layout->addItem(new QSpacerItem(width, height, QSizePolicy::Fixed, QSizePolicy::Fixed));
}

VwPopup::VwPopup(QWidget *parent, const QString &title, const QString &logo, Qt::WindowFlags flags)
    : QDialog(parent, flags)
{
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);

    _mainLayout = new QVBoxLayout(this);
    _mainLayout->setSpacing(0);
    _mainLayout->setContentsMargins(0, 0, 0, 0);

    _titleWidget = new TitleWidget(this, title, logo, true);
    _mainLayout->addWidget(_titleWidget);

    _contentArea = new QWidget(this);
    applyBackgroundStyle(_contentArea, QStringLiteral("popup_bg"), 0x3A3A3A);
    _contentArea->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    _mainLayout->addWidget(_contentArea);

    _buttonBar = new QWidget(this);
    applyBackgroundStyle(_buttonBar, QStringLiteral("popup_bg"), 0x595959);
    _buttonBar->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    _buttonBar->setFixedHeight(43);
    _buttonLayout = new QHBoxLayout(_buttonBar);
    _buttonLayout->setContentsMargins(0, 0, 0, 0);
    _buttonLayout->setSpacing(0);
    _mainLayout->addWidget(_buttonBar);

    if (_titleWidget->closeButton())
        connect(_titleWidget->closeButton(), &QPushButton::clicked, this, &QDialog::reject);

    _dragHelper = new VwWidgetDrag(this, kPopupDragHeight);
}

bool VwPopup::isJapanese()
{
    return VwLanguage::instance()->language == VwLanguage::LANGUAGE_JAPANESE;
}

QVBoxLayout *VwPopup::addContentPanel()
{
    auto *contentLayout = new QVBoxLayout(_contentArea);
    contentLayout->setContentsMargins(10, 13, 10, 12);
    auto *panel = new VwPopupContentBackground(_contentArea);
    contentLayout->addWidget(panel);
    auto *panelLayout = new QVBoxLayout(panel);
    panelLayout->setAlignment(Qt::AlignTop);
    return panelLayout;
}

void VwPopup::onLanguageSelected(int index)
{
    languageChoice = index;
}

void VwPopup::setupLanguageChooser()
{
    const bool japanese = isJapanese();
    setFixedSize(320, 160);
    if (_titleWidget->closeButton())
        _titleWidget->closeButton()->hide();
    _buttonLayout->setAlignment(Qt::AlignCenter);

    _okButton = VwButton::create(_buttonBar, _buttonLayout, QStringLiteral("button"), QString(),
                                 QSize(100, 24));
    _okButton->setText(japanese ? QStringLiteral("確認") : QStringLiteral("OK"));
    connect(_okButton, &QPushButton::clicked, this, &QDialog::accept);
    addFixedSpacer(_buttonLayout, 10, 0);

    _cancelButton = VwButton::create(_buttonBar, _buttonLayout, QStringLiteral("button"),
                                     QString(), QSize(100, 24));
    _cancelButton->setText(japanese ? QStringLiteral("キャンセル") : QStringLiteral("Cancel"));
    connect(_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    addFixedSpacer(_buttonLayout, 20, 0);

    languageChoice = VwLanguage::instance()->currentChoice();

    auto *contentLayout = new QVBoxLayout(_contentArea);
    contentLayout->setContentsMargins(10, 2, 10, 2);
    auto *panel = new VwPopupContentBackground(_contentArea);
    contentLayout->addWidget(panel);
    auto *panelLayout = new QVBoxLayout(panel);
    panelLayout->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto *row = new QWidget(panel);
    auto *rowLayout = new QHBoxLayout(row);
    rowLayout->setAlignment(Qt::AlignCenter);
    rowLayout->setContentsMargins(0, 2, 8, 2);
    rowLayout->setSpacing(3);
    addTextLabel(row, rowLayout,
                 (japanese ? QStringLiteral("言語") : QStringLiteral("Language")) + QLatin1Char(':'),
                 QStringLiteral("text"));
    auto *combo = new QComboBox(row);
    combo->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    combo->setFixedWidth(200);
    combo->setObjectName(QStringLiteral("settings"));
    combo->setMaxVisibleItems(100);
    combo->addItem(japanese ? QStringLiteral("自動") : QStringLiteral("Auto"));
    combo->addItem(QStringLiteral("日本語"));
    combo->addItem(QStringLiteral("English"));
    rowLayout->addWidget(combo);
    panelLayout->addWidget(row);

    addFixedSpacer(panelLayout, 0, 5);
    addTextLabel(panel, panelLayout,
                 japanese ? QStringLiteral("言語を選択してください") : QStringLiteral("Select a language"),
                 QStringLiteral("text"));

    const int preselected = languageChoice;
    connect(combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &VwPopup::onLanguageSelected);
    combo->setCurrentIndex(preselected);
}
