#include "hx_test_media.h"

#include "av_clock.h"
#include "av_player.h"
#include "video_frame.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTest>

namespace {

constexpr int kCodeBits = 12;

bool runFfmpeg(const QStringList &arguments, QString *error)
{
    const QString ffmpeg = hxFfmpegPath();
    if (ffmpeg.isEmpty()) {
        if (error)
            *error = QStringLiteral("ffmpeg not found");
        return false;
    }
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(ffmpeg, QStringList{QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"),
                                      QStringLiteral("error"), QStringLiteral("-y")}
                      + arguments);
    if (!process.waitForFinished(600000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        if (error)
            *error = QString::fromLocal8Bit(process.readAll());
        return false;
    }
    return true;
}

QString codeFilter()
{
    const QColor body = hxTestBodyColor();
    QStringList steps;
    steps << QStringLiteral("drawbox=x=0:y=ih/2:w=iw:h=ih/2:color=0x%1:t=fill")
                 .arg(body.rgb() & 0xffffff, 6, 16, QLatin1Char('0'));
    for (int bit = 0; bit < kCodeBits; ++bit) {
        steps << QStringLiteral("drawbox=x=iw*%1/%2:y=0:w=iw/%2:h=iw/%2:color=white:t=fill:"
                                "enable='eq(mod(floor(n/%3),2),1)'")
                     .arg(bit)
                     .arg(kCodeBits)
                     .arg(1 << bit);
    }
    steps << QStringLiteral("format=yuv420p");
    return steps.join(QLatin1Char(','));
}

} // namespace

QString hxFfmpegPath()
{
    return QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
}

QColor hxTestBodyColor()
{
    return QColor(0x20, 0x80, 0xe0);
}

bool hxMakeCodedVideo(const QString &path, const HxTestVideoSpec &spec, QString *error)
{
    QStringList args;
    args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
         << QStringLiteral("color=c=black:s=%1x%2:r=%3:d=%4")
                .arg(spec.width)
                .arg(spec.height)
                .arg(spec.fps)
                .arg(spec.seconds);
    if (spec.audio) {
        args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
             << QStringLiteral("sine=frequency=440:sample_rate=48000:duration=%1").arg(spec.seconds);
    }
    args << QStringLiteral("-vf") << codeFilter() << QStringLiteral("-c:v") << QStringLiteral("libx264")
         << QStringLiteral("-preset") << QStringLiteral("veryfast") << QStringLiteral("-g")
         << QString::number(spec.keyInterval) << QStringLiteral("-keyint_min") << QString::number(spec.keyInterval)
         << QStringLiteral("-sc_threshold") << QStringLiteral("0") << QStringLiteral("-b:v")
         << QStringLiteral("%1k").arg(spec.bitrateKbps);
    if (spec.audio)
        args << QStringLiteral("-c:a") << QStringLiteral("aac") << QStringLiteral("-b:a") << QStringLiteral("96k");
    if (spec.fastStart)
        args << QStringLiteral("-movflags") << QStringLiteral("+faststart");
    args << QStringLiteral("-t") << QString::number(spec.seconds) << path;
    return runFfmpeg(args, error);
}

bool hxMakeToneAudio(const QString &path, double seconds, QString *error)
{
    return runFfmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                      QStringLiteral("sine=frequency=440:sample_rate=48000:duration=%1").arg(seconds),
                      QStringLiteral("-c:a"), QStringLiteral("aac"), path},
                     error);
}

bool hxTruncateCopy(const QString &source, const QString &target, double fraction)
{
    QFile in(source);
    QFile out(target);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const qint64 size = qint64(double(in.size()) * qBound(0.0, fraction, 1.0));
    return out.write(in.read(size)) == size;
}

int hxReadFrameCode(const QImage &image)
{
    if (image.isNull())
        return -1;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    const double block = double(rgb.width()) / kCodeBits;
    const int y = qBound(0, int(block / 2), rgb.height() - 1);
    int code = 0;
    for (int bit = 0; bit < kCodeBits; ++bit) {
        const int cx = int((bit + 0.5) * block);
        // The middle of a block, averaged over a few pixels against noise.
        int sum = 0;
        int count = 0;
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                const int px = qBound(0, cx + dx, rgb.width() - 1);
                const int py = qBound(0, y + dy, rgb.height() - 1);
                sum += qGray(rgb.pixel(px, py));
                ++count;
            }
        }
        if (sum / count > 128)
            code |= 1 << bit;
    }
    return code;
}

HxTestLook hxLookAt(const QImage &image)
{
    HxTestLook look;
    if (image.isNull())
        return look;
    const int upper = qGray(image.pixel(image.width() / 2, image.height() / 4));
    const int lower = qGray(image.pixel(image.width() / 2, image.height() * 3 / 4));
    look.flipped = upper > lower;
    look.body = qMax(upper, lower);
    look.code = hxReadFrameCode(look.flipped ? image.mirrored(true, true) : image);
    return look;
}

bool hxLoadAndWait(av::AVPlayer &player, const QString &file)
{
    player.setFile(file);
    if (!player.load())
        return false;
    return QTest::qWaitFor([&] {
        return player.mediaStatus() == av::LoadedMedia || player.mediaStatus() == av::InvalidMedia;
    }, 10000) && player.mediaStatus() == av::LoadedMedia;
}

QVector<int> HxTestRecorder::codes() const
{
    QVector<int> result;
    for (const Shot &shot : shots)
        result << shot.code;
    return result;
}

void HxTestRecorder::onUpdate()
{
    const av::VideoFrame frame = currentFrame();
    if (!frame.isValid()) {
        ++blanks;
        return;
    }
    Shot shot;
    static_cast<HxTestLook &>(shot) = hxLookAt(frame.image());
    shot.clock = clock ? clock->value() : 0.0;
    shots.append(shot);
}
