#pragma once

#include <QMutex>
#include <QString>

#include <atomic>
#include <memory>
#include <vector>

extern "C" {
#include <libavutil/pixfmt.h>
#include <libavutil/rational.h>
}

struct AVFrame;

namespace av {

class LibAVFilterGraph;

// The video filters installed on one player, in installation order.
// The GUI thread installs, removes and re-words filters; the decoding thread
// runs frames through them. Each filter gets its own graph so that one bad
// text costs only its own effect; the last graph ends in the display format,
// which makes the framework's conversion part of the filtering.
class VideoFilterChain
{
public:
    VideoFilterChain();
    ~VideoFilterChain();

    VideoFilterChain(const VideoFilterChain &) = delete;
    VideoFilterChain &operator=(const VideoFilterChain &) = delete;

    // GUI side. Ids come from newFilterId(); installing an installed id moves
    // it to the end.
    static quint64 newFilterId();
    void install(quint64 id, const QString &text);
    void setText(quint64 id, const QString &text);
    bool remove(quint64 id);
    bool contains(quint64 id) const;
    bool isEmpty() const { return m_count.load() == 0; }
    int count() const { return m_count.load(); }

    // Format of the pictures apply() hands out while filters are installed.
    void setOutputFormat(AVPixelFormat format);

    // Decoding side. Returns a new frame owned by the caller: the filtered
    // picture, a reference to the input when no filter is installed, or null
    // when a filter kept the frame back. The changes made on the GUI side
    // take effect here, on the next frame.
    AVFrame *apply(const AVFrame *in, AVRational timeBase);
    // Decoding side: forget the state of every graph (after a seek).
    void flush();

private:
    struct Entry
    {
        quint64 id = 0;
        QString text;
    };
    struct Stage
    {
        quint64 id = 0;
        std::unique_ptr<LibAVFilterGraph> graph;
    };

    void syncStages();

    mutable QMutex m_mutex;
    std::vector<Entry> m_entries;
    AVPixelFormat m_outputFormat = AV_PIX_FMT_NONE;
    quint64 m_generation = 1;
    std::atomic<int> m_count{0};

    // Owned by the decoding thread.
    std::vector<Stage> m_stages;
    quint64 m_seenGeneration = 0;
};

} // namespace av
