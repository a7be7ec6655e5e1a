#pragma once

#include <QtGlobal>

#include <functional>

// Access to the sample data of a file being repaired: `size` bytes at
// `offset`, or null when they do not lie wholly inside the data.
using VwMdatBytes = std::function<const uchar *(qint64 offset, qint64 size)>;

// What a probe makes of the bytes at an offset.
enum class VwProbeResult {
    // Not a sample of this kind.
    None,
    // A whole sample.
    Match,
    // The start of a sample of this kind that runs past the end of the data:
    // the sample the recorder was writing when the power went.
    Cut,
};
