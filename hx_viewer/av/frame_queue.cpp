#include "frame_queue.h"

namespace av {

FrameQueue::FrameQueue(int capacity)
    : m_capacity(capacity)
{
}

bool FrameQueue::push(Item item, const std::function<bool()> &stale)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_room.wait(lock, [&] { return m_aborted || stale() || int(m_items.size()) < m_capacity; });
    if (m_aborted || stale())
        return false;
    m_items.push_back(std::move(item));
    return true;
}

bool FrameQueue::front(Item *item) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_items.empty())
        return false;
    *item = m_items.front();
    return true;
}

bool FrameQueue::second(Item *item) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_items.size() < 2)
        return false;
    *item = m_items[1];
    return true;
}

void FrameQueue::pop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_items.empty())
            m_items.pop_front();
    }
    m_room.notify_all();
}

void FrameQueue::dropStale(int serial)
{
    bool dropped = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        while (!m_items.empty() && m_items.front().serial != serial) {
            m_items.pop_front();
            dropped = true;
        }
    }
    if (dropped)
        m_room.notify_all();
}

int FrameQueue::size() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_items.size());
}

void FrameQueue::clear()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_items.clear();
    }
    m_room.notify_all();
}

void FrameQueue::abort()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_aborted = true;
    }
    m_room.notify_all();
}

void FrameQueue::restart()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_aborted = false;
}

void FrameQueue::wake()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
    }
    m_room.notify_all();
}

} // namespace av
