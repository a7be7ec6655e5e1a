#include "vw_play_loading.h"

std::atomic<bool> playLoading{false};
