#include "video_frame_filter.h"

namespace av {

VideoFrameFilter::~VideoFrameFilter() = default;

} // namespace av
