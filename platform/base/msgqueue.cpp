#include "platform/base/msgqueue.h"

#include <chrono>

void CMessageQueue::Post(UINT message, WPARAM wParam, LPARAM lParam)
{
    std::function<void()> wakeUp;
    {
        CMutexLock lock(m_mutex);
        m_messages.push_back({message, wParam, lParam});
        wakeUp = m_wakeUp;
    }
    m_cv.notify_one();
    if (wakeUp)
        wakeUp();
}

void CMessageQueue::SetWakeUp(std::function<void()> wakeUp)
{
    CMutexLock lock(m_mutex);
    m_wakeUp = std::move(wakeUp);
}

std::optional<CQueuedMessage> CMessageQueue::Get(unsigned milliseconds)
{
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    CMutexLock lock(m_mutex);
    while (m_messages.empty())
        if (m_cv.wait_until(m_mutex, deadline) == std::cv_status::timeout && m_messages.empty())
            return std::nullopt;
    CQueuedMessage msg = m_messages.front();
    m_messages.pop_front();
    return msg;
}

std::size_t CMessageQueue::Size() const
{
    CMutexLock lock(m_mutex);
    return m_messages.size();
}
