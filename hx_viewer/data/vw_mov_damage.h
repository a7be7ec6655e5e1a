#pragma once

#include <QtGlobal>

#include <cstdio>
#include <functional>

class QIODevice;

// What the top-level atoms of a recording file say about its index. The
// recorder writes the sample data first and the index (moov) last, so a power
// loss leaves a file whose data is there but whose index is missing, cut
// short, or whose mdat still carries the size it had while it was written
// (0, or more than the file holds). Such a file is damaged: it can be
// repaired, but not played. Only atom headers are read.
class VwMovDamage
{
public:
    enum State {
        // No movie structure, or no sample data at all.
        STATE_NOT_MOVIE = 0,
        STATE_HEALTHY = 1,
        STATE_DAMAGED = 2,
    };

    struct Layout
    {
        State state = STATE_NOT_MOVIE;
        qint64 fileSize = 0;
        qint64 ftypOffset = -1;
        qint64 ftypSize = 0;
        // The sample data: payload of the first mdat, cut to the file.
        qint64 dataOffset = -1;
        qint64 dataEnd = -1;
        // The mdat header gives 0 or a size beyond the end of the file.
        bool dataCut = false;
        qint64 moovOffset = -1;
        qint64 moovSize = 0;
        bool moovComplete = false;
    };

    // Reads `size` bytes at `offset` into the buffer; false when it cannot.
    using Reader = std::function<bool(qint64 offset, void *buffer, qint64 size)>;

    // With `stopAtData` the walk ends at the mdat: enough to tell whether the
    // data is cut once the index is known to be there.
    static Layout inspect(qint64 fileSize, const Reader &read, bool stopAtData = false);
    static Layout inspect(QIODevice *device);
    // The file's own position is left wherever the reads left it.
    static Layout inspect(FILE *file, bool stopAtData = false);

    // Whether a recording file is damaged, for the list. `indexFound` says
    // that the movie header was read; then only the mdat is looked at.
    static bool isDamaged(FILE *file, bool indexFound);
};
