#pragma once

#include "av_global.h"

#include <QObject>

namespace av {
class AVPlayer;
class VideoRenderer;
} // namespace av

// The synchronised front/rear pair, reduced to what the zoom and filter layer
// builds on: the two players, the two pane renderers and the swap state.
class VwPlayerBase : public QObject
{
    Q_OBJECT

public:
    explicit VwPlayerBase(QObject *parent = nullptr);
    ~VwPlayerBase() override;

    av::AVPlayer *playerF() const { return _playerF; }
    av::AVPlayer *playerR() const { return _playerR; }
    av::VideoRenderer *rendererMain() const { return _rendererMain; }
    av::VideoRenderer *rendererSub() const { return _rendererSub; }
    bool isSwapped() const { return _swapped; }

    virtual void stop();
    virtual bool isSeekBusy();
    virtual void clearCamera(bool front);
    virtual void seek(qint64 position, bool hold);
    virtual void stopSeekTimers();

protected:
    av::AVPlayer *_playerF = nullptr;
    av::AVPlayer *_playerR = nullptr;
    av::VideoRenderer *_rendererMain = nullptr;
    av::VideoRenderer *_rendererSub = nullptr;
    av::VideoRendererId _rendererId = av::VideoRendererId_Widget;
    av::VideoRenderer *_zoomOverviewMain = nullptr;
    av::VideoRenderer *_zoomOverviewSub = nullptr;
    bool _swapped = false;
};
