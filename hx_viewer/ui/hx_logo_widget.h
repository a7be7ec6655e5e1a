#pragma once

#include <QWidget>

class QLabel;

// What a video pane shows while its camera has nothing to show: the
// camera's logo on the video background.
class HxLogoWidget : public QWidget
{
    Q_OBJECT

public:
    // The main pane's logo is big; the big one starts on the front camera,
    // the small one on the rear camera.
    explicit HxLogoWidget(bool big, QWidget *parent = nullptr);

    void setCamera(bool front);
    bool showsFront() const { return _front; }

private:
    bool _big = false;
    bool _front = false;
    QLabel *_label = nullptr;
};
