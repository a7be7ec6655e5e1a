#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QIODevice;
class VwMovReference;

// Rebuilds the index of a recording that a power loss cut off. The sample
// data is walked from the front of its mdat; at each offset the content says
// which track the next sample belongs to (a telemetry text, an H.264 access
// unit or an AAC frame, tried in that order) and the codec set-up and timing
// come from a healthy reference recording of the same camera. The walk ends
// at the end of the data, at a sample the cut left incomplete, or at the
// first bytes that are none of these; what came before is kept. The result
// is a new MP4 file: the data up to there, copied as it is, and an index of
// its own. The damaged file is only read.
class VwMovRepair
{
public:
    enum Outcome {
        // Nothing could be recovered; no copy is written.
        OUTCOME_NOTHING = 0,
        // Every whole sample up to the cut was recovered.
        OUTCOME_COMPLETE = 1,
        // The walk stopped at data it does not recognise before the cut.
        OUTCOME_PARTIAL = 2,
        // The files could not be read or written; no copy is left behind.
        OUTCOME_FAILED = 3,
    };

    enum Reason {
        REASON_NONE = 0,
        // Stopped at the sample that the power loss cut short: the usual end.
        REASON_CUT,
        // Stopped at bytes that are no sample of the reference's tracks.
        REASON_UNRECOGNISED,
        // The file holds no sample data to walk.
        REASON_NO_DATA,
        REASON_NO_REFERENCE,
        // The reference is of another camera or resolution: its set-up does
        // not decode the file's first picture.
        REASON_REFERENCE_MISMATCH,
        REASON_READ_ERROR,
        REASON_WRITE_ERROR,
        // The target exists (and overwriting was not asked for), or is the
        // damaged file itself.
        REASON_TARGET_EXISTS,
        REASON_CANCELLED,
    };

    struct Result
    {
        Outcome outcome = OUTCOME_NOTHING;
        qint64 videoFrames = 0;
        qint64 audioFrames = 0;
        qint64 textSamples = 0;
        double videoSeconds = 0.0;
        double audioSeconds = 0.0;
        double telemetrySeconds = 0.0;
        // Where the recovered data ends in the damaged file, and its size.
        qint64 cutOffset = -1;
        qint64 fileSize = 0;
        // Bytes read from the damaged file.
        qint64 bytesRead = 0;
        QString referencePath;
        QString outputPath;
        // Why the walk ended, or why nothing was recovered; `detail` adds
        // what the system said about a file that could not be read or written.
        Reason reason = REASON_NONE;
        QString detail;

        bool recovered() const { return outcome == OUTCOME_COMPLETE || outcome == OUTCOME_PARTIAL; }
    };

    // Asked now and then with the bytes walked and the bytes to walk; false
    // stops the repair.
    using Progress = std::function<bool(qint64 done, qint64 total)>;

    // Writes the repaired file to `output`, which must be seekable. On any
    // outcome but a recovered one, what was written is to be thrown away.
    static Result repair(QIODevice *damaged, const VwMovReference &reference, QIODevice *output,
                         const Progress &progress = {});

    // The same for files. The reference is, in this order, `referencePath`,
    // the damaged file's own index when it is whole, or the one that
    // VwMovReference::find() picks near the damaged file. The copy appears
    // under `outputPath` only once it is complete; an existing file is kept
    // unless `overwrite` is set, and the damaged file is never the target.
    static Result repairFile(const QString &damagedPath, const QString &outputPath,
                             const QString &referencePath = QString(), bool overwrite = false,
                             const QStringList &candidates = QStringList(),
                             const Progress &progress = {});

    // Where the viewer puts repaired copies: the backup folder's "repaired".
    static QString repairedFolder();

    // Why the walk ended or failed, in a few words for the user.
    static QString reasonText(Reason reason, bool japanese);
};
