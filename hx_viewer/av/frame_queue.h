#pragma once

#include "video_frame.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace av {

// Converted pictures between the video decode thread and the presenter. Small
// and bounded: the decoder waits while it is full, which is how a paused
// player stops decoding.
class FrameQueue
{
public:
    struct Item {
        VideoFrame frame;
        int serial = 0;
        double pts = 0.0;      // seconds
        double duration = 0.0; // seconds
        bool end = false;      // no more frames for this serial
    };

    explicit FrameQueue(int capacity = 3);

    // Waits for room; gives up (false) once aborted or when `stale` turns true.
    bool push(Item item, const std::function<bool()> &stale);
    bool front(Item *item) const;
    bool second(Item *item) const;
    void pop();
    // Drops leading items of other serials.
    void dropStale(int serial);
    int size() const;
    void clear();
    void abort();
    void restart();
    // Wakes a waiting producer so that it re-checks whether its frame is stale.
    void wake();

private:
    const int m_capacity;
    mutable std::mutex m_mutex;
    std::condition_variable m_room;
    std::deque<Item> m_items;
    bool m_aborted = false;
};

} // namespace av
