#include "lib_av_filter_graph.h"

#include "hx_av_log.h"

#include <QRegularExpression>
#include <QStringList>

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
}

namespace av {

QString ffmpegErrorText(int error)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return QString::fromUtf8(text);
}

AVFrame *withPositiveStrides(AVFrame *frame)
{
    if (!frame)
        return nullptr;
    bool negative = false;
    for (int i = 0; i < AV_NUM_DATA_POINTERS && frame->data[i]; ++i)
        negative = negative || frame->linesize[i] < 0;
    if (!negative)
        return frame;
    AVFrame *copy = av_frame_alloc();
    if (copy) {
        copy->format = frame->format;
        copy->width = frame->width;
        copy->height = frame->height;
        if (av_frame_get_buffer(copy, 0) < 0 || av_frame_copy(copy, frame) < 0
            || av_frame_copy_props(copy, frame) < 0)
            av_frame_free(&copy);
    }
    av_frame_free(&frame);
    return copy;
}

QString LibAVFilterGraph::effectiveText(const QString &text)
{
    static const QRegularExpression special(QStringLiteral("[\\[\\];'\"\\\\]"));
    static const QRegularExpression toRgb(QStringLiteral("^format=(pix_fmts=)?rgb24$"));
    static const QRegularExpression yuvSafe(QStringLiteral("^(hflip|vflip|null|eq(=[^=:]+=[^=:]+(:[^=:]+=[^=:]+)*)?)$"));
    if (text.contains(special))
        return text;
    const QStringList steps = text.split(QLatin1Char(','));
    QStringList kept;
    bool dropped = false;
    for (const QString &raw : steps) {
        const QString step = raw.trimmed();
        if (toRgb.match(step).hasMatch()) {
            dropped = true;
        } else if (yuvSafe.match(step).hasMatch()) {
            kept.append(step);
        } else {
            return text;
        }
    }
    if (!dropped)
        return text;
    return kept.isEmpty() ? QStringLiteral("null") : kept.join(QLatin1Char(','));
}

bool LibAVFilterGraph::Input::operator==(const Input &o) const
{
    return width == o.width && height == o.height && format == o.format
        && av_cmp_q(sar, o.sar) == 0 && av_cmp_q(timeBase, o.timeBase) == 0;
}

LibAVFilterGraph::~LibAVFilterGraph()
{
    freeGraph();
}

void LibAVFilterGraph::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    m_dirty = true;
}

void LibAVFilterGraph::setOutputFormat(AVPixelFormat format)
{
    if (format == m_outputFormat)
        return;
    m_outputFormat = format;
    m_dirty = true;
}

void LibAVFilterGraph::freeGraph()
{
    avfilter_graph_free(&m_graph);
    m_source = nullptr;
    m_sink = nullptr;
}

void LibAVFilterGraph::fail(const char *where, int error)
{
    m_lastError = QStringLiteral("%1: %2").arg(QLatin1String(where), ffmpegErrorText(error));
}

bool LibAVFilterGraph::build(const QByteArray &text)
{
    freeGraph();
    m_graph = avfilter_graph_alloc();
    if (!m_graph) {
        fail("avfilter_graph_alloc", AVERROR(ENOMEM));
        return false;
    }
    // The decoder already has the second core; a filter thread pool would
    // only fight it.
    m_graph->nb_threads = 1;

    const AVRational sar = m_input.sar.num > 0 && m_input.sar.den > 0 ? m_input.sar : AVRational{1, 1};
    const QByteArray args = QByteArray("video_size=") + QByteArray::number(m_input.width) + 'x'
        + QByteArray::number(m_input.height) + ":pix_fmt=" + QByteArray::number(m_input.format)
        + ":time_base=" + QByteArray::number(m_input.timeBase.num) + '/'
        + QByteArray::number(m_input.timeBase.den) + ":pixel_aspect=" + QByteArray::number(sar.num)
        + '/' + QByteArray::number(sar.den);

    int ret = avfilter_graph_create_filter(&m_source, avfilter_get_by_name("buffer"), "in",
                                           args.constData(), nullptr, m_graph);
    if (ret < 0) {
        fail("buffer", ret);
        freeGraph();
        return false;
    }
    ret = avfilter_graph_create_filter(&m_sink, avfilter_get_by_name("buffersink"), "out", nullptr,
                                       nullptr, m_graph);
    if (ret >= 0 && m_outputFormat != AV_PIX_FMT_NONE) {
        const AVPixelFormat formats[] = {m_outputFormat, AV_PIX_FMT_NONE};
        ret = av_opt_set_int_list(m_sink, "pix_fmts", formats, AV_PIX_FMT_NONE, AV_OPT_SEARCH_CHILDREN);
    }
    if (ret < 0) {
        fail("buffersink", ret);
        freeGraph();
        return false;
    }

    AVFilterInOut *outputs = avfilter_inout_alloc();
    AVFilterInOut *inputs = avfilter_inout_alloc();
    if (!outputs || !inputs) {
        ret = AVERROR(ENOMEM);
    } else {
        outputs->name = av_strdup("in");
        outputs->filter_ctx = m_source;
        outputs->pad_idx = 0;
        outputs->next = nullptr;
        inputs->name = av_strdup("out");
        inputs->filter_ctx = m_sink;
        inputs->pad_idx = 0;
        inputs->next = nullptr;
        ret = avfilter_graph_parse_ptr(m_graph, text.constData(), &inputs, &outputs, nullptr);
    }
    avfilter_inout_free(&inputs);
    avfilter_inout_free(&outputs);
    if (ret < 0) {
        fail("avfilter_graph_parse_ptr", ret);
        freeGraph();
        return false;
    }
    ret = avfilter_graph_config(m_graph, nullptr);
    if (ret < 0) {
        fail("avfilter_graph_config", ret);
        freeGraph();
        return false;
    }
    return true;
}

void LibAVFilterGraph::rebuild()
{
    m_dirty = false;
    m_failed = false;
    m_lastError.clear();
    const QByteArray text = effectiveText(m_text.trimmed()).toUtf8();
    if (text.isEmpty()) {
        freeGraph();
        if (m_outputFormat != AV_PIX_FMT_NONE && m_outputFormat != m_input.format && !build("null"))
            qCWarning(lcHxAv) << "LibAVFilterGraph::rebuild" << "conversion failed" << m_lastError;
        return;
    }
    if (build(text))
        return;
    m_failed = true;
    const QString error = m_lastError;
    qCWarning(lcHxAv) << "LibAVFilterGraph::rebuild" << m_text << error;
    // The picture goes on unfiltered, but still in the format asked for.
    if (m_outputFormat != AV_PIX_FMT_NONE && m_outputFormat != m_input.format && !build("null"))
        qCWarning(lcHxAv) << "LibAVFilterGraph::rebuild" << "conversion failed" << m_lastError;
    m_lastError = error;
}

AVFrame *LibAVFilterGraph::run(const AVFrame *in, AVRational timeBase, int *error)
{
    *error = 0;
    AVFrame *ref = av_frame_clone(in);
    if (!ref) {
        *error = AVERROR(ENOMEM);
        return nullptr;
    }
    if (ref->pts == AV_NOPTS_VALUE)
        ref->pts = ref->best_effort_timestamp;
    int ret = av_buffersrc_add_frame_flags(m_source, ref, 0);
    av_frame_free(&ref);
    if (ret < 0) {
        *error = ret;
        fail("av_buffersrc_add_frame_flags", ret);
        return nullptr;
    }

    // A filter may hand out several pictures for one; only the newest is
    // worth presenting.
    AVFrame *out = nullptr;
    for (;;) {
        AVFrame *next = av_frame_alloc();
        if (!next) {
            ret = AVERROR(ENOMEM);
            break;
        }
        ret = av_buffersink_get_frame(m_sink, next);
        if (ret < 0) {
            av_frame_free(&next);
            break;
        }
        av_frame_free(&out);
        out = next;
    }
    if (ret != AVERROR(EAGAIN) && ret != AVERROR_EOF && !out) {
        *error = ret;
        fail("av_buffersink_get_frame", ret);
        return nullptr;
    }
    if (!out)
        return nullptr;

    const AVRational sinkBase = av_buffersink_get_time_base(m_sink);
    if (out->pts != AV_NOPTS_VALUE && av_cmp_q(sinkBase, timeBase) != 0)
        out->pts = av_rescale_q(out->pts, sinkBase, timeBase);
    out->best_effort_timestamp = out->pts;
    out->time_base = timeBase;
    return withPositiveStrides(out);
}

AVFrame *LibAVFilterGraph::filter(const AVFrame *in, AVRational timeBase)
{
    if (!in || in->width <= 0 || in->height <= 0 || in->format < 0)
        return nullptr;
    if (timeBase.num <= 0 || timeBase.den <= 0)
        timeBase = AVRational{1, AV_TIME_BASE};

    Input current;
    current.width = in->width;
    current.height = in->height;
    current.format = in->format;
    current.sar = in->sample_aspect_ratio;
    current.timeBase = timeBase;
    if (m_dirty || !(current == m_input)) {
        m_input = current;
        rebuild();
    }
    if (!m_graph)
        return withPositiveStrides(av_frame_clone(in));

    int error = 0;
    AVFrame *out = run(in, timeBase, &error);
    if (error == 0 || m_failed)
        return out ? out : (error ? withPositiveStrides(av_frame_clone(in)) : nullptr);

    // A graph that built but cannot run (a filter refusing this input at run
    // time) is treated like a rejected text until something changes.
    qCWarning(lcHxAv) << "LibAVFilterGraph::filter" << m_text << m_lastError;
    const QString lastError = m_lastError;
    freeGraph();
    m_failed = true;
    if (m_outputFormat != AV_PIX_FMT_NONE && m_outputFormat != m_input.format && build("null")) {
        out = run(in, timeBase, &error);
        m_lastError = lastError;
        if (out)
            return out;
    }
    m_lastError = lastError;
    freeGraph();
    return withPositiveStrides(av_frame_clone(in));
}

} // namespace av
