#pragma once

#include "vw_play_event.h"

#include <QObject>

class VwPlayer;
class VwVideoItem;

// Turns a recording chosen in the list into stop-then-load on the player:
// the stop ends with PLAY_EVENT_STOPPED, and only then is the new recording
// loaded. While a recording is being started the recording list refuses
// further next/previous requests (the loading flag).
class VwPlayProcess : public QObject
{
    Q_OBJECT

public:
    static VwPlayProcess *instance();

    // The program uses instance() on VwPlayer::instance(); tests drive players of their own.
    explicit VwPlayProcess(VwPlayer *player, QObject *parent = nullptr);

    // Connects, once, the list panel's choice of a recording and the player's events.
    template <typename ListWidget>
    void attach(ListWidget *list)
    {
        _pendingItem = nullptr;
        if (_attached)
            return;
        _attached = true;
        connect(list, &ListWidget::listSelected, this, &VwPlayProcess::onVideoLoadingStart);
        connectPlayer();
    }

    // True from the choice of a recording until the player reports it loaded.
    static bool playLoading();
    static void setPlayLoading(bool loading);

    VwVideoItem *pendingItem() const { return _pendingItem; }

public Q_SLOTS:
    void onVideoLoadingStart(VwVideoItem *item);
    void onInfoLoadingEnd();
    void onStartNext();

private Q_SLOTS:
    void onPlayEvent(PLAY_EVENT event, VwVideoItem *item);

private:
    void connectPlayer();

    VwPlayer *_player = nullptr;
    VwVideoItem *_pendingItem = nullptr;
    bool _attached = false;
};
