#pragma once

struct AVFrame;

namespace av {

// A step of a player's video filter chain. The video decode thread runs the
// installed filters in installation order on each decoded frame before the
// frame is converted for display; while paused the player runs them again on
// the retained frame of the displayed picture. Calls come from one thread at a
// time (the player serialises them), never from the GUI thread concurrently.
class VideoFrameFilter
{
public:
    virtual ~VideoFrameFilter();

    // Filters `in` into `out` (an empty frame owned by the caller). Returns
    // false to pass `in` on unchanged (disabled filter, or a graph FFmpeg
    // rejected); the frame must not be dropped.
    virtual bool filterFrame(const AVFrame *in, AVFrame *out) = 0;
};

} // namespace av
