#pragma once

#include <QWidget>

// The framed panel inside a popup's content area; the application style sheet
// gives it its border image.
class VwPopupContentBackground : public QWidget
{
    Q_OBJECT

public:
    explicit VwPopupContentBackground(QWidget *parent = nullptr);
};
