#include "platform/base/msgqueue.h"

#include <chrono>

void CMessageQueue::Post(UINT message, WPARAM wParam, LPARAM lParam)
{
    std::function<void()> wakeUp;
    {
        std::lock_guard lock(m_mutex);
        m_messages.push_back({message, wParam, lParam});
        wakeUp = m_wakeUp;
    }
    m_cv.notify_one();
    if (wakeUp)
        wakeUp();
}

void CMessageQueue::SetWakeUp(std::function<void()> wakeUp)
{
    std::lock_guard lock(m_mutex);
    m_wakeUp = std::move(wakeUp);
}

std::optional<CQueuedMessage> CMessageQueue::Get(unsigned milliseconds)
{
    std::unique_lock lock(m_mutex);
    if (!m_cv.wait_for(lock, std::chrono::milliseconds(milliseconds),
                       [this] { return !m_messages.empty(); }))
        return std::nullopt;
    CQueuedMessage msg = m_messages.front();
    m_messages.pop_front();
    return msg;
}

std::size_t CMessageQueue::Size() const
{
    std::lock_guard lock(m_mutex);
    return m_messages.size();
}
