#pragma once

#include "av_global.h"
#include "video_frame.h"

#include <QRect>
#include <QRectF>
#include <QVector>

class QPainter;
class QWidget;

namespace av {

class AVPlayer;
class PlayerEngine;

// A video output. Players hand it frames on the GUI thread through receive();
// it keeps the frame it shows (with its time stamp), so that a capture can
// take exactly the displayed picture. Concrete renderers draw in a widget.
class VideoRenderer
{
public:
    enum OutAspectRatioMode {
        RendererAspectRatio, // stretch over the whole output
        VideoAspectRatio,    // letterboxed at the video's display aspect
        CustomAspectRation   // letterboxed at outAspectRatio()
    };

    // A renderer of the given kind, or null for an unknown id.
    static VideoRenderer *create(VideoRendererId id);

    virtual ~VideoRenderer();
    VideoRenderer(const VideoRenderer &) = delete;
    VideoRenderer &operator=(const VideoRenderer &) = delete;

    virtual VideoRendererId id() const = 0;
    virtual bool isAvailable() const { return true; }
    // The widget that shows the video, or null for outputs without one.
    virtual QWidget *widget() { return nullptr; }

    // Shows the frame; an invalid frame blanks the output.
    bool receive(const VideoFrame &frame);
    VideoFrame currentFrame() const { return m_frame; }
    qreal currentTimestamp() const { return m_frame.timestamp(); }

    void setOutAspectRatioMode(OutAspectRatioMode mode);
    OutAspectRatioMode outAspectRatioMode() const { return m_aspectMode; }
    // Width / height used in CustomAspectRation mode.
    void setOutAspectRatio(qreal ratio);
    qreal outAspectRatio() const { return m_outAspectRatio; }

    // Part of the picture to show, in normalised coordinates; a null or empty
    // rectangle (0,0,0,0) means the whole picture.
    void setRegionOfInterest(const QRectF &roi);
    QRectF regionOfInterest() const { return m_roi; }
    // The region of interest in pixels of the current frame.
    QRect realROI() const;

    // Where the picture goes inside an output of the given size.
    QRect videoRect(const QSize &outputSize) const;

    // Players this renderer is attached to.
    QVector<AVPlayer *> players() const { return m_players; }

protected:
    VideoRenderer() = default;
    // Called on the GUI thread after the frame or a setting changed.
    virtual void onUpdate() {}
    // Paints the current frame (or black) into an output of the given size.
    void paintFrame(QPainter &painter, const QSize &outputSize) const;

private:
    friend class PlayerEngine;
    void attachPlayer(AVPlayer *player);
    void detachPlayer(AVPlayer *player);

    VideoFrame m_frame;
    OutAspectRatioMode m_aspectMode = RendererAspectRatio;
    qreal m_outAspectRatio = 0.0;
    QRectF m_roi;
    QVector<AVPlayer *> m_players;
};

} // namespace av
