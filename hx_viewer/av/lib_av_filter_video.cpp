#include "lib_av_filter_video.h"

#include "av_player.h"

#include <QMutexLocker>

extern "C" {
#include <libavutil/avutil.h>
#include <libavutil/frame.h>
}

namespace av {

LibAVFilterVideo::LibAVFilterVideo(QObject *parent)
    : QObject(parent)
{
}

LibAVFilterVideo::~LibAVFilterVideo()
{
    // The player stops calling filterFrame() before uninstallFilter()
    // returns, so the graph can go with this object.
    uninstall();
}

void LibAVFilterVideo::setOptions(const QString &options)
{
    {
        QMutexLocker lock(&m_mutex);
        if (m_options == options)
            return;
        m_options = options;
    }
    Q_EMIT optionsChanged();
}

QString LibAVFilterVideo::options() const
{
    QMutexLocker lock(&m_mutex);
    return m_options;
}

bool LibAVFilterVideo::installTo(AVPlayer *player)
{
    if (!player)
        return false;
    if (m_player == player)
        return true;
    uninstall();
    player->installFilter(this);
    m_player = player;
    return true;
}

bool LibAVFilterVideo::isInstalled() const
{
    return !m_player.isNull();
}

AVPlayer *LibAVFilterVideo::player() const
{
    return m_player.data();
}

bool LibAVFilterVideo::uninstall()
{
    if (!m_player)
        return false;
    AVPlayer *player = m_player.data();
    m_player.clear();
    return player->uninstallFilter(this);
}

bool LibAVFilterVideo::filterFrame(const AVFrame *in, AVFrame *out)
{
    if (!in || !out)
        return false;
    const QString text = options();
    if (text.trimmed().isEmpty())
        return false;
    m_graph.setText(text);
    AVRational timeBase = in->time_base;
    if (timeBase.num <= 0 || timeBase.den <= 0)
        timeBase = AVRational{1, AV_TIME_BASE};
    AVFrame *filtered = m_graph.filter(in, timeBase);
    if (!filtered)
        return false;
    if (!m_graph.isValid()) {
        av_frame_free(&filtered);
        return false;
    }
    av_frame_unref(out);
    av_frame_move_ref(out, filtered);
    av_frame_free(&filtered);
    out->time_base = in->time_base;
    return true;
}

} // namespace av
