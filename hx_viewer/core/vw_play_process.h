#pragma once

#include "vw_play_event.h"
#include "vw_video_item_ptr.h"

#include <QObject>
#include <QPointer>

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
        _pendingItem.clear();
        _pendingRef.reset();
        if (_attached)
            return;
        _attached = true;
        connect(list, &ListWidget::listSelected, this, &VwPlayProcess::onVideoLoadingStart);
        connectPlayer();
    }

    // True from the choice of a recording until the player reports it loaded.
    static bool playLoading();
    static void setPlayLoading(bool loading);

    VwVideoItem *pendingItem() const;

public Q_SLOTS:
    void onVideoLoadingStart(VwVideoItem *item);
    void onInfoLoadingEnd();
    void onStartNext();

private Q_SLOTS:
    void onPlayEvent(PLAY_EVENT event, VwVideoItem *item);

private:
    void connectPlayer();

    VwPlayer *_player = nullptr;
    // The chosen record, across the stop that takes several turns of the
    // event loop. The list's reference keeps a listed record alive should
    // the list be rebuilt meanwhile; a record of someone else's is watched.
    QPointer<VwVideoItem> _pendingItem;
    VwVideoItemPtr _pendingRef;
    bool _attached = false;
};
