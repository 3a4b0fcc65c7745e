#pragma once
// The window-message queue of the front end. Background threads post
// messages (PostMessage); the front end's own thread drains them. This is
// the only way the scan thread reaches the front end.
#include <condition_variable>
#include <deque>
#include <functional>
#include <optional>

#include "platform/base/sync.h"
#include "platform/base/win32types.h"

constexpr UINT WM_USER = 0x0400;

struct CQueuedMessage {
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    friend bool operator==(const CQueuedMessage&, const CQueuedMessage&) = default;
};

// Any thread may post; one thread drains.
class CMessageQueue {
public:
    void Post(UINT message, WPARAM wParam, LPARAM lParam);
    // Called after every Post, on the posting thread, so that a front end
    // with its own event loop can schedule a drain there. Install it before
    // any thread posts; it must be safe to call from any thread.
    void SetWakeUp(std::function<void()> wakeUp);
    // The oldest message, waiting at most the given milliseconds for one.
    std::optional<CQueuedMessage> Get(unsigned milliseconds);
    // The oldest message, without waiting.
    std::optional<CQueuedMessage> Peek() { return Get(0); }
    std::size_t Size() const;

private:
    mutable CMutex m_mutex;
    std::condition_variable_any m_cv;
    std::deque<CQueuedMessage> m_messages GUARDED_BY(m_mutex);
    std::function<void()> m_wakeUp GUARDED_BY(m_mutex);
};
