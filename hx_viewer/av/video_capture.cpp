#include "video_capture.h"

#include "av_player.h"
#include "hx_av_log.h"
#include "video_frame.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QPointer>
#include <QSaveFile>
#include <QThreadPool>

namespace av {

namespace {

// Writes through a temporary file, so a failed save leaves no partial
// picture under the final name. Returns an empty string on success.
QString writeImage(const QImage &image, const QString &path, const QString &format, int quality)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    QImageWriter writer(&file, format.toLatin1());
    writer.setQuality(quality);
    if (!writer.write(image)) {
        file.cancelWriting();
        return writer.errorString();
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

} // namespace

VideoCapture::VideoCapture(AVPlayer *player)
    : QObject(player)
    , m_player(player)
{
}

VideoCapture::~VideoCapture() = default;

QString VideoCapture::filePath(const VideoFrame &frame) const
{
    const QString fileName = m_name + QString::number(frame.timestamp(), 'f', 3) + QLatin1Char('.')
        + m_format;
    return QDir(m_dir).filePath(fileName);
}

void VideoCapture::capture()
{
    const VideoFrame frame = m_player ? m_player->displayedFrame() : VideoFrame();
    if (!frame.isValid()) {
        qCWarning(lcHxAv) << "VideoCapture::capture" << "no picture shown";
        Q_EMIT failed();
        return;
    }
    const QFileInfo dir(m_dir);
    if (m_dir.isEmpty() || !dir.isDir() || !dir.isWritable()) {
        qCWarning(lcHxAv) << "VideoCapture::capture" << "folder missing or not writable" << m_dir;
        Q_EMIT failed();
        return;
    }
    if (!QImageWriter::supportedImageFormats().contains(m_format.toLower().toLatin1())) {
        qCWarning(lcHxAv) << "VideoCapture::capture" << "unknown format" << m_format;
        Q_EMIT failed();
        return;
    }

    const QString path = filePath(frame);
    const QString format = m_format;
    const int quality = m_quality;
    if (!m_async || !QCoreApplication::instance()) {
        const QString error = writeImage(frame.image(), path, format, quality);
        if (!error.isEmpty()) {
            qCWarning(lcHxAv) << "VideoCapture::capture" << path << error;
            Q_EMIT failed();
            return;
        }
        Q_EMIT saved(path);
        return;
    }

    // The copy of the frame keeps its picture alive while the worker encodes.
    // The result comes back through the application object, which outlives
    // every capture; the pointer to this object is only tested there, on the
    // GUI thread.
    QPointer<VideoCapture> self(this);
    QThreadPool::globalInstance()->start([self, frame, path, format, quality] {
        const QString error = writeImage(frame.image(), path, format, quality);
        if (!error.isEmpty())
            qCWarning(lcHxAv) << "VideoCapture::capture" << path << error;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, path, error] {
                if (!self)
                    return;
                if (error.isEmpty())
                    Q_EMIT self->saved(path);
                else
                    Q_EMIT self->failed();
            },
            Qt::QueuedConnection);
    });
}

} // namespace av
