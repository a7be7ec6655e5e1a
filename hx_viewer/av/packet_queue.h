#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

struct AVPacket;

namespace av {

// Packets of one stream between the demux thread and a decoder, each tagged
// with the seek serial it was read under; an end marker closes a serial.
class PacketQueue
{
public:
    struct Item {
        AVPacket *packet = nullptr; // owned by whoever holds the item
        int serial = 0;
        bool end = false;
    };

    PacketQueue() = default;
    ~PacketQueue();
    PacketQueue(const PacketQueue &) = delete;
    PacketQueue &operator=(const PacketQueue &) = delete;

    // Takes ownership of `packet`.
    void put(AVPacket *packet, int serial);
    void putEnd(int serial);
    // Blocks until an item is there; false once aborted.
    bool get(Item *item);
    void flush();
    void abort();
    void restart();

    int count() const;
    long long bytes() const;

    // Called (without the queue's lock) after every get, so the demux thread
    // can wait for room instead of polling.
    void setConsumedNotifier(std::function<void()> notifier) { m_consumed = std::move(notifier); }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<Item> m_items;
    long long m_bytes = 0;
    bool m_aborted = false;
    std::function<void()> m_consumed;
};

} // namespace av
