#include "vw_button.h"

#include "vw_language.h"

#include <QLayout>
#include <QSize>

VwButton::VwButton(QWidget *parent)
    : QPushButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
}

VwButton::~VwButton()
{
    VwLanguage::instance()->unregisterWidget(this);
}

VwButton *VwButton::create(QWidget *parent, QLayout *layout, const QString &objectName,
                           const QString &tooltip, const QSize &size)
{
    auto *button = new VwButton(parent);
    setUp(button, objectName, tooltip, size);
    if (layout)
        layout->addWidget(button);
    return button;
}

void VwButton::setUp(VwButton *button, const QString &objectName, const QString &tooltip,
                     const QSize &size)
{
    if (!tooltip.isEmpty())
        button->setToolTip(tooltip);
    button->setObjectName(objectName);
    button->setFixedSize(size);
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    if (!tooltip.isEmpty())
        VwLanguage::instance()->registerText(VwLanguage::LANGUAGE_JAPANESE,
                                             VwLanguage::TEXT_KIND_TOOLTIP, button, tooltip);
}

void VwButton::setEnglishToolTip(const QString &english)
{
    VwLanguage::instance()->registerText(VwLanguage::LANGUAGE_ENGLISH, VwLanguage::TEXT_KIND_TOOLTIP,
                                         this, english);
}

void VwButton::setToolTips(const QString &japanese, const QString &english)
{
    VwLanguage *language = VwLanguage::instance();
    language->registerText(VwLanguage::LANGUAGE_JAPANESE, VwLanguage::TEXT_KIND_TOOLTIP, this, japanese);
    setEnglishToolTip(english);
    setToolTip(language->language == VwLanguage::LANGUAGE_JAPANESE ? japanese : english);
}
