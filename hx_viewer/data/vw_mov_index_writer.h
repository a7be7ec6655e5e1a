#pragma once

#include "vw_mov_reference.h"

#include <QByteArray>
#include <QList>
#include <QVector>

// Writes the index (moov) of a repaired file: one track per reference track
// that samples were found for, its set-up taken over from the reference and
// its sample tables built from the samples found. Every sample is a chunk of
// its own, as the recorder's telemetry reader expects of the text track.
class VwMovIndexWriter
{
public:
    struct Track
    {
        const VwMovReference::Track *reference = nullptr;
        // Where each sample lies in the repaired file.
        QVector<qint64> offsets;
        QVector<quint32> sizes;
        // Numbers (from 1) of the samples that are key frames.
        QVector<quint32> keySamples;

        int sampleCount() const { return sizes.size(); }
        // In the track's time scale.
        qint64 mediaDuration() const;
        // What plays of it, in milliseconds: the media after the edit.
        qint64 playedMs() const;
    };

    static QByteArray movie(const QList<Track> &tracks);

    static constexpr quint32 kMovieTimeScale = 1000;
};
