#pragma once

#include <QObject>

// Remembers which navigation key (Left, Right or the letter F) is held down.
// While one is held, file switching and the layout commands refuse to run, so a
// fast seek by key never overlaps a reload or a relayout.
class VwKeyEvent : public QObject
{
    Q_OBJECT

public:
    static VwKeyEvent *instance();

    // Key handling of the main window; auto-repeated events must be filtered by the caller.
    void keyPress(int key);
    void keyRelease(int key);

    bool isKeyHeld() const { return pressedKey != -1; }

    // Written directly by the player: its stop turns tracking off, loading and
    // play/pause turn it back on; both forget the held key.
    int pressedKey = -1;
    bool keyTrackingEnabled = true;

Q_SIGNALS:
    void pressedF1();
    void releasedF1();
    void pressedB1();
    void releasedB1();
    void pressedFF();
    void releasedFF();

public Q_SLOTS:
    void onPressedF1();
    void onReleasedF1();
    void onPressedB1();
    void onReleasedB1();

private:
    explicit VwKeyEvent(QObject *parent = nullptr);
    static bool isTrackedKey(int key);
    void holdOffSendingButton();
    void releaseHeldKey(int key);
};
