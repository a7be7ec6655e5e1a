#pragma once

#include <QByteArray>
#include <QString>

extern "C" {
#include <libavutil/pixfmt.h>
#include <libavutil/rational.h>
}

struct AVFilterContext;
struct AVFilterGraph;
struct AVFrame;

namespace av {

// One libavfilter graph "buffer -> text -> buffersink" for video frames.
// It belongs to the thread that filters: it is not thread-safe. The graph is
// built lazily and rebuilt whenever the text, the input picture (size, pixel
// format, aspect, time base) or the wanted output format changes, since
// buffersrc does not cope with frames changing on the fly.
class LibAVFilterGraph
{
public:
    LibAVFilterGraph() = default;
    ~LibAVFilterGraph();

    LibAVFilterGraph(const LibAVFilterGraph &) = delete;
    LibAVFilterGraph &operator=(const LibAVFilterGraph &) = delete;

    // Sets the graph text, for example "format=pix_fmts=rgb24,hflip".
    // An empty text passes frames on unchanged.
    void setText(const QString &text);
    QString text() const { return m_text; }

    // AV_PIX_FMT_NONE lets the graph end in whatever format its last filter
    // gives; any other format constrains the sink, so that the conversion is
    // part of the graph.
    void setOutputFormat(AVPixelFormat format);
    AVPixelFormat outputFormat() const { return m_outputFormat; }

    // Runs one frame through the graph. Returns a new frame owned by the
    // caller, with its time stamps in timeBase, or null when the graph keeps
    // the frame back (a filter that drops or delays frames). When FFmpeg
    // rejects the text, the error is logged once and the input comes back
    // unfiltered (converted to the output format when one is set).
    AVFrame *filter(const AVFrame *in, AVRational timeBase);

    // False after the current text failed to build or to run.
    bool isValid() const { return !m_failed; }
    QString lastError() const { return m_lastError; }

    // The graph actually run for a text. A chain of filters that work on
    // the decoder's YUV pictures as well as on RGB (hflip, vflip, eq, null)
    // runs without the "format=pix_fmts=rgb24" steps in it: the picture is
    // the same, but eq no longer makes libavfilter convert RGB back to
    // YUV 4:4:4 and then to the display format (many times the cost of the
    // filter itself at 1080p), the flips move half the bytes,
    // and the colours stay those of the unfiltered picture because the one
    // YUV to RGB conversion is the display's own. Other texts run as given.
    static QString effectiveText(const QString &text);

private:
    struct Input
    {
        int width = 0;
        int height = 0;
        int format = -1;
        AVRational sar{0, 1};
        AVRational timeBase{0, 1};
        bool operator==(const Input &o) const;
    };

    void rebuild();
    bool build(const QByteArray &text);
    void freeGraph();
    // Returns the output, or null with *error set (0 when the graph merely
    // kept the frame back).
    AVFrame *run(const AVFrame *in, AVRational timeBase, int *error);
    void fail(const char *where, int error);

    QString m_text;
    AVPixelFormat m_outputFormat = AV_PIX_FMT_NONE;
    AVFilterGraph *m_graph = nullptr;
    AVFilterContext *m_source = nullptr;
    AVFilterContext *m_sink = nullptr;
    Input m_input;
    bool m_dirty = true;
    bool m_failed = false;
    QString m_lastError;
};

// Error text of an FFmpeg error code.
QString ffmpegErrorText(int error);

// A frame whose planes all have positive strides: vflip hands out pictures
// with a negative stride, which QImage and textures cannot use. Takes
// ownership of frame and returns it or a packed copy.
AVFrame *withPositiveStrides(AVFrame *frame);

} // namespace av
