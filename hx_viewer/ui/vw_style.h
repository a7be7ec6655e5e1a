#pragma once

#include <QString>

class QLabel;
class QSlider;
class QWidget;

// Per-widget style sheets filled in from fixed templates. Each operation sets
// the given object name on the widget (the templates select by it) and makes
// the filled template the widget's style sheet. Colours are 0xRRGGBB.

void applyLabelStyle(QLabel *label, const QString &name, const QString &fontFamily, int color,
                     int sizePx, bool bold);
void applyBadgeLabelStyle(QLabel *label, const QString &name, const QString &fontFamily,
                          int color, int sizePx, bool bold, int background);
// `playedColor` fills the groove left of the handle, `remainingColor` the rest;
// `smallKnob` picks the small handle image and a thinner groove.
void applySliderStyle(QSlider *slider, const QString &name, int playedColor, int remainingColor,
                      bool smallKnob);
void applyBackgroundStyle(QWidget *widget, const QString &name, int color);
void applyBorderStyle(QWidget *widget, const QString &name, int color);
void applyBorderBackgroundStyle(QWidget *widget, const QString &name, int background, int border);

// Disables the widget at once and enables it again after `ms` milliseconds,
// whatever happened to it in between, so a button cannot fire twice in a row.
void disableFor(QWidget *widget, int ms);
// Sets a dynamic property and re-polishes at once, so that style rules with
// attribute selectors such as [paused=true] follow it.
void setStyleProperty(QWidget *widget, const char *name, bool value);
void setObjectNameAndRepolish(QWidget *widget, const QString &name);

// "#RRGGBB" of a 0xRRGGBB colour.
QString cssColor(int color);
