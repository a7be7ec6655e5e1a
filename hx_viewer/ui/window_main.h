#pragma once

#include <QWidget>

// The viewer's main window: title bar, video column and telemetry column.
class WindowMain : public QWidget
{
    Q_OBJECT

public:
    static WindowMain *instance();

private:
    explicit WindowMain(QWidget *parent = nullptr);
};
