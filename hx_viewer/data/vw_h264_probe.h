#pragma once

#include "vw_mdat_bytes.h"

#include <QByteArray>
#include <QHash>

// Recognises H.264 access units in the length-prefixed form that MP4 files
// store, against the decoder configuration (avcC) of a reference recording.
// An access unit is a run of NAL units whose lengths stay inside the data and
// whose headers are plausible: the forbidden bit clear, a known type with a
// reference indication that the type allows, and slices whose headers name a
// known picture parameter set and continue the frame numbering of the
// pictures accepted before. The first slice starts a new picture.
class VwH264Probe
{
public:
    bool configure(const QByteArray &avcC);
    bool isConfigured() const { return m_lengthSize > 0; }

    // Leaves the probe's state alone: accept() takes the access unit matched
    // last as the new previous picture.
    VwProbeResult probe(const VwMdatBytes &bytes, qint64 offset, qint64 end, qint64 *length,
                        bool *key);
    void accept();

    // Whether the access unit decodes cleanly with the reference's set-up:
    // a file of another camera or resolution does not.
    bool decodes(const uchar *data, qint64 size) const;

    // NAL units longer than this are taken for noise: several times the
    // reference's largest picture, and never less than a megabyte.
    void setMaxNalSize(qint64 bytes) { m_maxNalSize = bytes; }

private:
    struct Sps
    {
        int log2MaxFrameNum = 4;
        bool separateColourPlane = false;
        bool gapsAllowed = false;
    };
    struct Nal
    {
        int type = 0;
        int refIdc = 0;
        qint64 size = 0; // with its length prefix
        bool cut = false;
        // Slices only.
        int firstMb = -1;
        int ppsId = -1;
        int frameNum = -1;
    };

    bool readNal(const VwMdatBytes &bytes, qint64 offset, qint64 end, Nal *nal) const;
    bool frameNumFollows(const Nal &slice) const;

    QByteArray m_avcC;
    int m_lengthSize = 0;
    QHash<int, Sps> m_sps;
    QHash<int, int> m_ppsToSps;
    qint64 m_maxNalSize = 1 << 20;

    int m_lastFrameNum = -1;
    bool m_lastWasReference = false;
    int m_pendingFrameNum = -1;
    bool m_pendingReference = false;
};
