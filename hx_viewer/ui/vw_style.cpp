#include "vw_style.h"

#include <QLabel>
#include <QSlider>
#include <QStyle>
#include <QTimer>
#include <QVariant>

namespace {

const QString kLabelTemplate = QStringLiteral(
    "QLabel#%name%{font-family: %font%;color : %color%;font-size: %size%px;font-weight: %weight%;}");

const QString kBadgeLabelTemplate = QStringLiteral(
    "QLabel#%name%{font-family: %font%;color : %color%;font-size: %size%px;font-weight: %weight%;"
    "background-color: %bg%;border-radius:  3px;}");

const QString kBackgroundTemplate = QStringLiteral("QWidget#%name%{background-color: %color%;}");

const QString kBorderTemplate = QStringLiteral("QWidget#%name%{border: 1px solid %color%;}");

const QString kBorderBackgroundTemplate =
    QStringLiteral("QWidget#%name%{border: 1px solid %border%;background-color: %bg%;}");

const QString kSliderTemplate = QStringLiteral(
    "QSlider#%name%{}"
    "QSlider#%name%::groove:horizontal{border: %border%px;height: %height%px;}"
    "QSlider#%name%::sub-page:horizontal{background: %color_cp%;}"
    "QSlider#%name%::add-page:horizontal{background: %color_cb%;}"
    "QSlider#%name%::handle:horizontal{image: url(:/image/%knob%.png);"
    "margin: -%border%px -0px -%border%px -0px;}"
    "QSlider#%name%::handle:horizontal:hover:!pressed{image: url(:/image/%knob%_1.png);"
    "margin: -%border%px -0px -%border%px -0px;}"
    "QSlider#%name%::handle:horizontal:pressed{image: url(:/image/%knob%_2.png);"
    "margin: -%border%px -0px -%border%px -0px;}"
    "QSlider#%name%::handle:horizontal:disabled{image: url(:/image/%knob%_3.png);"
    "margin: -%border%px -0px -%border%px -0px;}");

QString fontWeight(bool bold)
{
    return bold ? QStringLiteral("bold") : QStringLiteral("normal");
}

void repolish(QWidget *widget)
{
    QStyle *style = widget->style();
    style->unpolish(widget);
    style->polish(widget);
    widget->update();
}

} // namespace

QString cssColor(int color)
{
    return QString::asprintf("#%06X", color & 0xFFFFFF);
}

void applyLabelStyle(QLabel *label, const QString &name, const QString &fontFamily, int color,
                     int sizePx, bool bold)
{
    if (!label)
        return;
    label->setObjectName(name);
    label->setStyleSheet(QString(kLabelTemplate)
                             .replace(QLatin1String("%name%"), name)
                             .replace(QLatin1String("%color%"), cssColor(color))
                             .replace(QLatin1String("%size%"), QString::number(sizePx))
                             .replace(QLatin1String("%weight%"), fontWeight(bold))
                             .replace(QLatin1String("%font%"), fontFamily));
}

void applyBadgeLabelStyle(QLabel *label, const QString &name, const QString &fontFamily,
                          int color, int sizePx, bool bold, int background)
{
    if (!label)
        return;
    label->setObjectName(name);
    label->setStyleSheet(QString(kBadgeLabelTemplate)
                             .replace(QLatin1String("%name%"), name)
                             .replace(QLatin1String("%color%"), cssColor(color))
                             .replace(QLatin1String("%size%"), QString::number(sizePx))
                             .replace(QLatin1String("%weight%"), fontWeight(bold))
                             .replace(QLatin1String("%bg%"), cssColor(background))
                             .replace(QLatin1String("%font%"), fontFamily));
}

void applySliderStyle(QSlider *slider, const QString &name, int playedColor, int remainingColor,
                      bool smallKnob)
{
    if (!slider)
        return;
    slider->setObjectName(name);
    slider->setStyleSheet(
        QString(kSliderTemplate)
            .replace(QLatin1String("%name%"), name)
            .replace(QLatin1String("%color_cp%"), cssColor(playedColor))
            .replace(QLatin1String("%color_cb%"), cssColor(remainingColor))
            .replace(QLatin1String("%knob%"),
                     smallKnob ? QStringLiteral("slider_knob_small") : QStringLiteral("slider_knob"))
            .replace(QLatin1String("%border%"), QString::number(smallKnob ? 6 : 7))
            .replace(QLatin1String("%height%"), QString::number(smallKnob ? 2 : 4)));
}

void applyBackgroundStyle(QWidget *widget, const QString &name, int color)
{
    if (!widget)
        return;
    widget->setObjectName(name);
    widget->setStyleSheet(QString(kBackgroundTemplate)
                              .replace(QLatin1String("%name%"), name)
                              .replace(QLatin1String("%color%"), cssColor(color)));
}

void applyBorderStyle(QWidget *widget, const QString &name, int color)
{
    if (!widget)
        return;
    widget->setObjectName(name);
    widget->setStyleSheet(QString(kBorderTemplate)
                              .replace(QLatin1String("%name%"), name)
                              .replace(QLatin1String("%color%"), cssColor(color)));
}

void applyBorderBackgroundStyle(QWidget *widget, const QString &name, int background, int border)
{
    if (!widget)
        return;
    widget->setObjectName(name);
    widget->setStyleSheet(QString(kBorderBackgroundTemplate)
                              .replace(QLatin1String("%name%"), name)
                              .replace(QLatin1String("%border%"), cssColor(border))
                              .replace(QLatin1String("%bg%"), cssColor(background)));
}

void disableFor(QWidget *widget, int ms)
{
    if (!widget)
        return;
    widget->setEnabled(false);
    // The widget is the timer's context: a widget destroyed meanwhile is never touched.
    QTimer::singleShot(ms, widget, [widget] { widget->setEnabled(true); });
}

void setStyleProperty(QWidget *widget, const char *name, bool value)
{
    if (!widget)
        return;
    widget->setProperty(name, value);
    repolish(widget);
}

void setObjectNameAndRepolish(QWidget *widget, const QString &name)
{
    if (!widget)
        return;
    widget->setObjectName(name);
    repolish(widget);
}
