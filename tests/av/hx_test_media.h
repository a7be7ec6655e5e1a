#pragma once

#include "video_renderer.h"

#include <QColor>
#include <QImage>
#include <QString>
#include <QVector>

namespace av {
class AVClock;
class AVPlayer;
}

// Small generated recordings for the media tests. Every video frame carries
// its own number as a 12-bit block code in a band across the top (block i
// white when bit i is set), and the lower half is filled with
// hxTestBodyColor(), so a test can tell from any displayed picture which
// frame it is and whether it is drawn where expected.
struct HxTestVideoSpec {
    int width = 320;
    int height = 180;
    int fps = 30;
    double seconds = 4.0;
    int keyInterval = 30; // frames between key frames
    bool audio = false;   // add an AAC tone
    bool fastStart = false; // index (moov) at the start of the file
    int bitrateKbps = 800;
};

// Path of the ffmpeg program, or empty when it is not installed.
QString hxFfmpegPath();

// Writes an H.264 MP4 to `path`; false (with `error` filled) on failure.
bool hxMakeCodedVideo(const QString &path, const HxTestVideoSpec &spec, QString *error = nullptr);

// Writes an AAC file without video.
bool hxMakeToneAudio(const QString &path, double seconds, QString *error = nullptr);

// Copies the first `fraction` of the bytes of `source`, as a recording cut by
// power loss would be.
bool hxTruncateCopy(const QString &source, const QString &target, double fraction);

// The frame number coded in `image` (a whole frame, unscaled or scaled without
// cropping), or -1 when the image is null.
int hxReadFrameCode(const QImage &image);

QColor hxTestBodyColor();

// What a displayed coded picture shows: its frame number, whether it is upside
// down (the coloured body on top) and how bright the body is.
struct HxTestLook {
    int code = -1;
    bool flipped = false;
    int body = 0;
};

HxTestLook hxLookAt(const QImage &image);

// An output that remembers what every picture it is given shows, with the
// player's clock at that moment when `clock` is set, and counts the blank ones.
class HxTestRecorder : public av::VideoRenderer
{
public:
    struct Shot : HxTestLook {
        double clock = 0.0;
    };

    av::VideoRendererId id() const override { return 1000; }

    av::AVClock *clock = nullptr;
    QVector<Shot> shots;
    int blanks = 0;

    Shot last() const { return shots.isEmpty() ? Shot() : shots.last(); }
    int lastCode() const { return last().code; }
    QVector<int> codes() const;

protected:
    void onUpdate() override;
};

// Loads `file` into `player` and waits until it is loaded; false when it
// cannot be loaded.
bool hxLoadAndWait(av::AVPlayer &player, const QString &file);
