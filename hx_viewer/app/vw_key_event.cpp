#include "vw_key_event.h"

#include "hx_app_log.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace {
// A button that fed a key is held off briefly so that a bouncing click
// cannot press the same key twice.
constexpr int kButtonHoldOffMs = 100;
} // namespace

VwKeyEvent::VwKeyEvent(QObject *parent)
    : QObject(parent)
{
}

VwKeyEvent *VwKeyEvent::instance()
{
    static VwKeyEvent *guard = new VwKeyEvent;
    return guard;
}

bool VwKeyEvent::isTrackedKey(int key)
{
    return key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_F;
}

void VwKeyEvent::holdOffSendingButton()
{
    QObject *origin = sender();
    if (!origin || !origin->inherits("HxButton"))
        return;
    QPointer<QWidget> button = qobject_cast<QWidget *>(origin);
    if (!button)
        return;
    button->setEnabled(false);
    QTimer::singleShot(kButtonHoldOffMs, button, [button] {
        if (button)
            button->setEnabled(true);
    });
}

void VwKeyEvent::keyPress(int key)
{
    if (!keyTrackingEnabled || !isTrackedKey(key) || key == pressedKey)
        return;
    if (pressedKey != -1) {
        holdOffSendingButton();
        releaseHeldKey(pressedKey);
    }
    qCDebug(lcHxApp) << "VwKeyEvent::keyPress" << key;
    pressedKey = key;
    if (key == Qt::Key_Right)
        Q_EMIT pressedF1();
    else if (key == Qt::Key_Left)
        Q_EMIT pressedB1();
    else
        Q_EMIT pressedFF();
}

void VwKeyEvent::keyRelease(int key)
{
    holdOffSendingButton();
    releaseHeldKey(key);
}

void VwKeyEvent::releaseHeldKey(int key)
{
    if (!keyTrackingEnabled || !isTrackedKey(key) || key != pressedKey)
        return;
    qCDebug(lcHxApp) << "VwKeyEvent::releaseHeldKey" << key;
    pressedKey = -1;
    if (key == Qt::Key_Right)
        Q_EMIT releasedF1();
    else if (key == Qt::Key_Left)
        Q_EMIT releasedB1();
    else
        Q_EMIT releasedFF();
}

void VwKeyEvent::onPressedF1()
{
    keyPress(Qt::Key_Right);
}

void VwKeyEvent::onReleasedF1()
{
    keyRelease(Qt::Key_Right);
}

void VwKeyEvent::onPressedB1()
{
    keyPress(Qt::Key_Left);
}

void VwKeyEvent::onReleasedB1()
{
    keyRelease(Qt::Key_Left);
}
