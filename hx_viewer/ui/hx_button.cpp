#include "hx_button.h"

#include "vw_language.h"

#include <QBoxLayout>
#include <QSize>

namespace {

const QString kImageTemplate = QStringLiteral(
    "HxButton{image: url(:/image/%name%.png);}"
    "HxButton:pressed{image: url(:/image/%name%_2.png);}"
    "HxButton:hover:!pressed{image: url(:/image/%name%_1.png);}"
    "HxButton:disabled{image: url(:/image/%name%_3.png);}");

const QString kSingleImageTemplate = QStringLiteral(
    "HxButton{image: url(:/image/%name%.png);}"
    "HxButton:pressed{image: url(:/image/%name%.png);}"
    "HxButton:hover:!pressed{image: url(:/image/%name%.png);}"
    "HxButton:disabled{image: url(:/image/%name%.png);}");

// The checked rules come after the plain ones and carry one more pseudo-state,
// so a checked button never falls back to an unchecked picture.
const QString kCheckableImageTemplate = QStringLiteral(
    "HxButton{image: url(:/image/%name%.png);}"
    "HxButton:pressed{image: url(:/image/%name%_2.png);}"
    "HxButton:hover:!pressed{image: url(:/image/%name%_1.png);}"
    "HxButton:disabled{image: url(:/image/%name%_3.png);}"
    "HxButton:checked{image: url(:/image/%name%_checked.png);}"
    "HxButton:checked:pressed{image: url(:/image/%name%_checked_2.png);}"
    "HxButton:checked:hover:!pressed{image: url(:/image/%name%_checked_1.png);}"
    "HxButton:checked:disabled{image: url(:/image/%name%_checked_3.png);}");

const QString kColorTemplate = QStringLiteral(
    "HxButton{image: url(:/image/%name%.png);background-color: #%color_normal%;}"
    "HxButton:pressed{background-color: #%color_pressed%;}"
    "HxButton:hover:!pressed{background-color: #%color_hover%;}"
    "HxButton:checked{background-color: #%color_checked%;}"
    "HxButton:disabled{image: url(:/image/%name%_3.png);background-color: #%color_disabled%;}");

QString hexColor(int color)
{
    return QString::asprintf("%06X", color & 0xFFFFFF);
}

} // namespace

HxButton::HxButton(QWidget *parent)
    : VwButton(parent)
{
}

HxButton *HxButton::createFromTemplate(QWidget *parent, QLayout *layout, const QString &styleSheet,
                                       const QString &imageName, const QString &tooltip,
                                       const QSize &size, int index)
{
    auto *button = new HxButton(parent);
    button->setStyleSheet(QString(styleSheet).replace(QLatin1String("%name%"), imageName));
    setUp(button, imageName, tooltip, size);
    if (layout) {
        auto *box = qobject_cast<QBoxLayout *>(layout);
        if (index >= 0 && box)
            box->insertWidget(index, button);
        else
            layout->addWidget(button);
    }
    return button;
}

HxButton *HxButton::createImageButton(QWidget *parent, QLayout *layout, const QString &imageName,
                                      const QString &tooltip, const QSize &size, int index)
{
    return createFromTemplate(parent, layout, kImageTemplate, imageName, tooltip, size, index);
}

HxButton *HxButton::createCheckableImageButton(QWidget *parent, QLayout *layout,
                                               const QString &imageName, const QString &tooltip,
                                               const QSize &size)
{
    HxButton *button = createFromTemplate(parent, layout, kCheckableImageTemplate, imageName,
                                          tooltip, size, -1);
    button->setCheckable(true);
    return button;
}

HxButton *HxButton::createTranslatedButton(QWidget *parent, QLayout *layout, const QString &imageName,
                                          const char *key, const QString &english, const QSize &size,
                                          bool checkable)
{
    HxButton *button = checkable ? createCheckableImageButton(parent, layout, imageName, languageText(key), size)
                                 : createImageButton(parent, layout, imageName, languageText(key), size);
    button->setEnglishToolTip(english);
    return button;
}

HxButton *HxButton::createSingleImageButton(QWidget *parent, QLayout *layout,
                                            const QString &imageName, const QString &tooltip,
                                            const QSize &size)
{
    return createFromTemplate(parent, layout, kSingleImageTemplate, imageName, tooltip, size, -1);
}

HxButton *HxButton::createColorButton(QWidget *parent, QLayout *layout, const QString &imageName,
                                      const QString &tooltip, const QSize &size,
                                      const Colors &colors)
{
    HxButton *button = createFromTemplate(parent, layout, QString(), imageName, tooltip, size, -1);
    applyColorStyle(button, imageName, colors);
    return button;
}

void HxButton::applyColorStyle(HxButton *button, const QString &imageName, const Colors &colors)
{
    if (!button)
        return;
    QString styleSheet = kColorTemplate;
    styleSheet.replace(QLatin1String("%color_normal%"), hexColor(colors[COLOR_NORMAL]))
        .replace(QLatin1String("%color_pressed%"), hexColor(colors[COLOR_PRESSED]))
        .replace(QLatin1String("%color_hover%"), hexColor(colors[COLOR_HOVER]))
        .replace(QLatin1String("%color_disabled%"), hexColor(colors[COLOR_DISABLED]))
        .replace(QLatin1String("%color_checked%"), hexColor(colors[COLOR_CHECKED]))
        .replace(QLatin1String("%name%"), imageName);
    button->setStyleSheet(styleSheet);
}
