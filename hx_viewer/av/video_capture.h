#pragma once

#include <QObject>
#include <QString>

namespace av {

class AVPlayer;
class VideoFrame;

// Saves the picture a player shows, as the user sees it (after the filters)
// but at the video's full size, into captureDir() as captureName() followed
// by the frame's time stamp in seconds with three decimals and "." plus the
// save format. saved() gives the full path. A failure (nothing shown, folder
// missing or not writable) is logged and emits failed() instead.
class VideoCapture : public QObject
{
    Q_OBJECT

public:
    explicit VideoCapture(AVPlayer *player);
    ~VideoCapture() override;

    // Async captures encode and write on a worker thread; saved() arrives
    // later on this object's thread. Synchronous captures emit saved()
    // before capture() returns.
    void setAsync(bool async) { m_async = async; }
    bool isAsync() const { return m_async; }
    void setCaptureDir(const QString &dir) { m_dir = dir; }
    QString captureDir() const { return m_dir; }
    void setCaptureName(const QString &name) { m_name = name; }
    QString captureName() const { return m_name; }
    // An image format Qt can write: "jpg" (the default), "png", ...
    void setSaveFormat(const QString &format) { m_format = format; }
    QString saveFormat() const { return m_format; }
    // 0..100, or -1 for the writer's default.
    void setQuality(int quality) { m_quality = quality; }
    int quality() const { return m_quality; }

    // The path a capture of `frame` goes to.
    QString filePath(const VideoFrame &frame) const;

public Q_SLOTS:
    void capture();

Q_SIGNALS:
    void saved(const QString &path);
    void failed();

private:
    AVPlayer *m_player = nullptr;
    bool m_async = true;
    QString m_dir;
    QString m_name;
    QString m_format = QStringLiteral("jpg");
    int m_quality = 90;
};

} // namespace av
