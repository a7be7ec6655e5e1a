#include "packet_queue.h"

extern "C" {
#include <libavcodec/packet.h>
}

namespace av {

PacketQueue::~PacketQueue()
{
    flush();
}

void PacketQueue::put(AVPacket *packet, int serial)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_items.push_back({packet, serial, false});
        m_bytes += packet->size;
    }
    m_ready.notify_one();
}

void PacketQueue::putEnd(int serial)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_items.push_back({nullptr, serial, true});
    }
    m_ready.notify_one();
}

bool PacketQueue::get(Item *item)
{
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_ready.wait(lock, [this] { return m_aborted || !m_items.empty(); });
        if (m_aborted)
            return false;
        *item = m_items.front();
        m_items.pop_front();
        if (item->packet)
            m_bytes -= item->packet->size;
    }
    if (m_consumed)
        m_consumed();
    return true;
}

void PacketQueue::flush()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (Item &item : m_items)
        av_packet_free(&item.packet);
    m_items.clear();
    m_bytes = 0;
}

void PacketQueue::abort()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_aborted = true;
    }
    m_ready.notify_all();
}

void PacketQueue::restart()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_aborted = false;
}

int PacketQueue::count() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_items.size());
}

long long PacketQueue::bytes() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bytes;
}

} // namespace av
