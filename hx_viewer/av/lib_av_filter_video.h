#pragma once

#include "lib_av_filter_graph.h"
#include "video_frame_filter.h"

#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QString>

namespace av {

class AVPlayer;

// A video filter given as an FFmpeg filter graph text, for example
// "format=pix_fmts=rgb24,hflip,vflip". Installed on a player, it runs on
// every decoded frame before the player converts the picture for display,
// after the filters installed before it. The text may change at any time;
// the next frame uses the new one. A text FFmpeg rejects leaves the picture
// unfiltered and is logged with FFmpeg's error.
class LibAVFilterVideo : public QObject, public VideoFrameFilter
{
    Q_OBJECT

public:
    explicit LibAVFilterVideo(QObject *parent = nullptr);
    ~LibAVFilterVideo() override;

    void setOptions(const QString &options);
    QString options() const;

    // Installs on `player` (leaving any other player first); takes effect
    // while the player runs or is paused.
    bool installTo(AVPlayer *player);
    bool uninstall();
    bool isInstalled() const;
    AVPlayer *player() const;

    // Runs on the player's decoding thread.
    bool filterFrame(const AVFrame *in, AVFrame *out) override;

Q_SIGNALS:
    void optionsChanged();

private:
    mutable QMutex m_mutex;
    QString m_options;
    QPointer<AVPlayer> m_player;
    // Used by filterFrame() only, which the player never runs concurrently.
    LibAVFilterGraph m_graph;
};

} // namespace av
