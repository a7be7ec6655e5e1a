#pragma once

#include <atomic>

// True from the moment a recording is chosen for playback until the player
// reports it loaded. The play process writes it; the recording list reads it
// to ignore next/previous requests that would start a second load.
extern std::atomic<bool> playLoading;
