#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class QIODevice;

// The codec set-up of a healthy recording: what a repair takes from it to
// index the sample data of a damaged file of the same camera. The sample
// descriptions, handler and media header atoms are kept as they are, so that
// the repaired file describes its tracks exactly as the recorder does.
class VwMovReference
{
public:
    enum Kind {
        KIND_OTHER = 0,
        KIND_VIDEO = 1, // H.264
        KIND_AUDIO = 2, // AAC
        KIND_TEXT = 3,  // tx3g telemetry
    };

    struct Track
    {
        Kind kind = KIND_OTHER;
        quint32 format = 0;
        quint32 timeScale = 0;
        // The most frequent sample duration, in the track's time scale.
        quint32 sampleDelta = 0;
        quint16 language = 0;
        quint32 trackFlags = 0;
        // The track header's fields after its duration (layer, volume,
        // matrix, width, height).
        QByteArray trackTail;
        QByteArray handler;
        QByteArray mediaHeader;
        QByteArray dataInformation;
        QByteArray sampleDescriptions;
        // Where playback starts in the media (the encoder's priming), in the
        // track's time scale.
        qint64 editMediaTime = 0;
        quint32 constantSampleSize = 0;
        quint32 maxSampleSize = 0;
        // avcC payload, or the AAC AudioSpecificConfig.
        QByteArray codecConfig;
    };

    bool load(const QString &path, QString *error = nullptr);
    // A file whose data is cut but whose index is whole (written at the
    // front) serves as well: only the index is read.
    bool load(QIODevice *device, QString *error = nullptr);

    const Track *track(Kind kind) const;

    // The most suitable reference for a damaged recording among the
    // candidate files: a healthy file of the same camera, from the same
    // folder first, then the nearest in time. Empty when none loads.
    static QString find(const QString &damagedPath, const QStringList &candidates);
    // Recording files near a damaged one: its own folder, and when that
    // holds no other file of the same camera, the tree of the folder above.
    static QStringList candidatesNear(const QString &damagedPath);

    QList<Track> tracks;
    QByteArray fileType;

    // A movie index larger than this is not a recorder's.
    static constexpr qint64 kMaxIndexBytes = 64 * 1024 * 1024;
};
