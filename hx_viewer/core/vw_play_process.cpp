#include "vw_play_process.h"

#include "hx_core_log.h"
#include "vw_play_loading.h"
#include "vw_player.h"
#include "vw_video_file_list.h"
#include "vw_video_item.h"

#include <QTimer>

// The flag itself lives with the recording list, which reads it and cannot
// see this library; this class is its only writer.

VwPlayProcess *VwPlayProcess::instance()
{
    static VwPlayProcess *process = new VwPlayProcess(VwPlayer::instance());
    return process;
}

VwPlayProcess::VwPlayProcess(VwPlayer *player, QObject *parent)
    : QObject(parent)
    , _player(player)
{
}

bool VwPlayProcess::playLoading()
{
    return ::playLoading;
}

void VwPlayProcess::setPlayLoading(bool loading)
{
    ::playLoading = loading;
}

VwVideoItem *VwPlayProcess::pendingItem() const
{
    return _pendingItem.data();
}

void VwPlayProcess::connectPlayer()
{
    connect(_player, &VwPlayer::playEvent, this, &VwPlayProcess::onPlayEvent);
}

void VwPlayProcess::onVideoLoadingStart(VwVideoItem *item)
{
    qCDebug(lcHxCore) << "VwPlayProcess::onVideoLoadingStart" << (item ? item->displayName() : QString());
    setPlayLoading(true);
    _pendingItem = item;
    _pendingRef = VwVideoFileList::instance()->sharedItem(item);
    _player->stop();
}

void VwPlayProcess::onPlayEvent(PLAY_EVENT event, VwVideoItem *item)
{
    Q_UNUSED(item)
    if (event == PLAY_EVENT_LOADED) {
        setPlayLoading(false);
    } else if (event == PLAY_EVENT_STOPPED) {
        if (_pendingItem)
            QTimer::singleShot(1, this, &VwPlayProcess::onStartNext);
        else
            // Nothing is on its way (a stop during loading, a file that
            // cannot be played): the list must not stay locked.
            setPlayLoading(false);
    }
}

void VwPlayProcess::onStartNext()
{
    const QPointer<VwVideoItem> item = _pendingItem;
    const VwVideoItemPtr listed = std::move(_pendingRef);
    _pendingItem.clear();
    // Nothing waits: an earlier stop took the choice.
    if (!item)
        return;
    // A list rebuilt since the choice no longer offers the record: what the
    // new list offers comes with a choice of its own.
    if (listed && !VwVideoFileList::instance()->sharedItem(item)) {
        qCDebug(lcHxCore) << "VwPlayProcess::onStartNext" << "the chosen recording left the list";
        setPlayLoading(false);
        return;
    }
    _player->onLoad(item);
}

void VwPlayProcess::onInfoLoadingEnd()
{
    auto *item = qobject_cast<VwVideoItem *>(sender());
    if (!item)
        return;
    disconnect(item, nullptr, this, nullptr);
    _player->onLoad(item);
}
