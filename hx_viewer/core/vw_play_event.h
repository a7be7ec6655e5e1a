#pragma once

// What the player announces with playEvent(PLAY_EVENT, VwVideoItem*).
// Values 0, 6 and 7 are not used.
enum PLAY_EVENT {
    PLAY_EVENT_LOAD = 1,
    PLAY_EVENT_LOADED = 2,
    PLAY_EVENT_PLAY = 3,
    PLAY_EVENT_PAUSE = 4,
    PLAY_EVENT_STOPPED = 5,
    PLAY_EVENT_SWAP_REAR = 8,
    PLAY_EVENT_SWAP_FRONT = 9,
    PLAY_EVENT_USER_STOP = 10,
    PLAY_EVENT_NO_MEDIA = 11,
    PLAY_EVENT_MUTE = 12,
    PLAY_EVENT_UNMUTE = 13,
    PLAY_EVENT_FIRST_FRAME = 14,
};
