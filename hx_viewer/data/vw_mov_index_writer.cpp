#include "vw_mov_index_writer.h"

#include <QtEndian>

#include <algorithm>
#include <functional>

namespace {

// Appends big-endian fields and atoms whose size is filled in when they close.
class AtomWriter
{
public:
    void u8(quint8 value) { m_bytes.append(char(value)); }
    void u16(quint16 value) { append<quint16>(value); }
    void u32(quint32 value) { append<quint32>(value); }
    void u64(quint64 value) { append<quint64>(value); }
    void zeros(int count) { m_bytes.append(count, '\0'); }
    void bytes(const QByteArray &bytes) { m_bytes.append(bytes); }
    void code(const char (&name)[5]) { m_bytes.append(name, 4); }

    void atom(const char (&type)[5], const std::function<void()> &body)
    {
        const int start = m_bytes.size();
        u32(0);
        code(type);
        body();
        qToBigEndian(quint32(m_bytes.size() - start), m_bytes.data() + start);
    }

    void fullAtom(const char (&type)[5], quint32 versionAndFlags, const std::function<void()> &body)
    {
        atom(type, [&] {
            u32(versionAndFlags);
            body();
        });
    }

    const QByteArray &result() const { return m_bytes; }

private:
    template<typename T>
    void append(T value)
    {
        char bytes[sizeof(T)];
        qToBigEndian(value, bytes);
        m_bytes.append(bytes, int(sizeof(T)));
    }

    QByteArray m_bytes;
};

void identityMatrix(AtomWriter &out)
{
    for (quint32 value : {0x00010000u, 0u, 0u, 0u, 0x00010000u, 0u, 0u, 0u, 0x40000000u})
        out.u32(value);
}

qint64 toMovieScale(qint64 duration, quint32 timeScale)
{
    return timeScale ? (duration * VwMovIndexWriter::kMovieTimeScale + timeScale / 2) / timeScale : 0;
}

void sampleTable(AtomWriter &out, const VwMovIndexWriter::Track &track)
{
    const VwMovReference::Track &reference = *track.reference;
    const quint32 count = quint32(track.sampleCount());
    out.atom("stbl", [&] {
        out.bytes(reference.sampleDescriptions);
        out.fullAtom("stts", 0, [&] {
            out.u32(1);
            out.u32(count);
            out.u32(reference.sampleDelta);
        });
        if (reference.kind == VwMovReference::KIND_VIDEO && quint32(track.keySamples.size()) < count) {
            out.fullAtom("stss", 0, [&] {
                out.u32(quint32(track.keySamples.size()));
                for (quint32 sample : track.keySamples)
                    out.u32(sample);
            });
        }
        const bool sameSize = std::all_of(track.sizes.cbegin(), track.sizes.cend(),
                                          [&](quint32 size) { return size == track.sizes.first(); });
        out.fullAtom("stsz", 0, [&] {
            out.u32(sameSize ? track.sizes.first() : 0);
            out.u32(count);
            if (!sameSize) {
                for (quint32 size : track.sizes)
                    out.u32(size);
            }
        });
        out.fullAtom("stsc", 0, [&] {
            out.u32(1);
            out.u32(1); // first chunk
            out.u32(1); // samples per chunk
            out.u32(1); // sample description
        });
        const bool wide = track.offsets.last() > qint64(0xffffffffu);
        out.fullAtom(wide ? "co64" : "stco", 0, [&] {
            out.u32(count);
            for (qint64 offset : track.offsets) {
                if (wide)
                    out.u64(quint64(offset));
                else
                    out.u32(quint32(offset));
            }
        });
    });
}

} // namespace

qint64 VwMovIndexWriter::Track::mediaDuration() const
{
    return qint64(sampleCount()) * (reference ? reference->sampleDelta : 0);
}

qint64 VwMovIndexWriter::Track::playedMs() const
{
    if (!reference)
        return 0;
    const qint64 played = mediaDuration() - qMax<qint64>(0, reference->editMediaTime);
    return toMovieScale(qMax<qint64>(0, played), reference->timeScale);
}

QByteArray VwMovIndexWriter::movie(const QList<Track> &tracks)
{
    QList<const Track *> written;
    qint64 movieDuration = 0;
    for (const Track &track : tracks) {
        if (track.reference && track.sampleCount() > 0) {
            written.append(&track);
            movieDuration = qMax(movieDuration, track.playedMs());
        }
    }

    AtomWriter out;
    out.atom("moov", [&] {
        out.fullAtom("mvhd", 0, [&] {
            out.u32(0); // creation time
            out.u32(0); // modification time
            out.u32(kMovieTimeScale);
            out.u32(quint32(movieDuration));
            out.u32(0x00010000); // rate
            out.u16(0x0100);     // volume
            out.zeros(10);
            identityMatrix(out);
            out.zeros(24);
            out.u32(quint32(written.size() + 1)); // next track
        });
        quint32 trackId = 0;
        for (const Track *track : qAsConst(written)) {
            const VwMovReference::Track &reference = *track->reference;
            ++trackId;
            const qint64 edit = qMax<qint64>(0, reference.editMediaTime);
            const bool edited = edit > 0 && track->mediaDuration() > edit;
            out.atom("trak", [&] {
                out.fullAtom("tkhd", reference.trackFlags ? reference.trackFlags : 3, [&] {
                    out.u32(0);
                    out.u32(0);
                    out.u32(trackId);
                    out.u32(0);
                    out.u32(quint32(track->playedMs()));
                    out.bytes(reference.trackTail);
                });
                if (edited) {
                    // The encoder's priming stays hidden, as in the original.
                    out.atom("edts", [&] {
                        out.fullAtom("elst", 0, [&] {
                            out.u32(1);
                            out.u32(quint32(track->playedMs()));
                            out.u32(quint32(edit));
                            out.u32(0x00010000);
                        });
                    });
                }
                out.atom("mdia", [&] {
                    out.fullAtom("mdhd", 0, [&] {
                        out.u32(0);
                        out.u32(0);
                        out.u32(reference.timeScale);
                        out.u32(quint32(track->mediaDuration()));
                        out.u16(reference.language);
                        out.u16(0);
                    });
                    out.bytes(reference.handler);
                    out.atom("minf", [&] {
                        out.bytes(reference.mediaHeader);
                        if (!reference.dataInformation.isEmpty()) {
                            out.bytes(reference.dataInformation);
                        } else {
                            out.atom("dinf", [&] {
                                out.fullAtom("dref", 0, [&] {
                                    out.u32(1);
                                    out.fullAtom("url ", 1, [] {});
                                });
                            });
                        }
                        sampleTable(out, *track);
                    });
                });
            });
        }
    });
    return out.result();
}
