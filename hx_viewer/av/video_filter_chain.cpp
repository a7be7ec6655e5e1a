#include "video_filter_chain.h"

#include "lib_av_filter_graph.h"

#include <QMutexLocker>

extern "C" {
#include <libavutil/frame.h>
}

#include <algorithm>

namespace av {

VideoFilterChain::VideoFilterChain() = default;

VideoFilterChain::~VideoFilterChain() = default;

quint64 VideoFilterChain::newFilterId()
{
    static std::atomic<quint64> next{1};
    return next.fetch_add(1);
}

void VideoFilterChain::install(quint64 id, const QString &text)
{
    QMutexLocker lock(&m_mutex);
    m_entries.erase(std::remove_if(m_entries.begin(), m_entries.end(),
                                   [id](const Entry &e) { return e.id == id; }),
                    m_entries.end());
    m_entries.push_back(Entry{id, text});
    m_count.store(int(m_entries.size()));
    ++m_generation;
}

void VideoFilterChain::setText(quint64 id, const QString &text)
{
    QMutexLocker lock(&m_mutex);
    for (Entry &e : m_entries) {
        if (e.id == id && e.text != text) {
            e.text = text;
            ++m_generation;
        }
    }
}

bool VideoFilterChain::remove(quint64 id)
{
    QMutexLocker lock(&m_mutex);
    const auto end = std::remove_if(m_entries.begin(), m_entries.end(),
                                    [id](const Entry &e) { return e.id == id; });
    if (end == m_entries.end())
        return false;
    m_entries.erase(end, m_entries.end());
    m_count.store(int(m_entries.size()));
    ++m_generation;
    return true;
}

bool VideoFilterChain::contains(quint64 id) const
{
    QMutexLocker lock(&m_mutex);
    return std::any_of(m_entries.begin(), m_entries.end(), [id](const Entry &e) { return e.id == id; });
}

void VideoFilterChain::setOutputFormat(AVPixelFormat format)
{
    QMutexLocker lock(&m_mutex);
    if (m_outputFormat == format)
        return;
    m_outputFormat = format;
    ++m_generation;
}

void VideoFilterChain::syncStages()
{
    std::vector<Entry> entries;
    AVPixelFormat outputFormat;
    {
        QMutexLocker lock(&m_mutex);
        if (m_generation == m_seenGeneration)
            return;
        m_seenGeneration = m_generation;
        entries = m_entries;
        outputFormat = m_outputFormat;
    }
    // Graphs of filters still installed are kept: a graph whose text and
    // output did not change is not rebuilt.
    std::vector<Stage> stages;
    stages.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        Stage stage;
        stage.id = entries[i].id;
        auto old = std::find_if(m_stages.begin(), m_stages.end(),
                                [&](const Stage &s) { return s.id == stage.id && s.graph; });
        stage.graph = old != m_stages.end() ? std::move(old->graph) : std::make_unique<LibAVFilterGraph>();
        stage.graph->setText(entries[i].text);
        stage.graph->setOutputFormat(i + 1 == entries.size() ? outputFormat : AV_PIX_FMT_NONE);
        stages.push_back(std::move(stage));
    }
    m_stages = std::move(stages);
}

AVFrame *VideoFilterChain::apply(const AVFrame *in, AVRational timeBase)
{
    if (!in)
        return nullptr;
    syncStages();
    AVFrame *current = av_frame_clone(in);
    for (Stage &stage : m_stages) {
        if (!current)
            break;
        AVFrame *next = stage.graph->filter(current, timeBase);
        av_frame_free(&current);
        current = next;
    }
    return current;
}

void VideoFilterChain::flush()
{
    for (Stage &stage : m_stages)
        stage.graph->reset();
}

} // namespace av
