#pragma once
// CQueuePump: drains the main window's queue on the window's thread. The
// queue's wake-up, which runs on whichever thread posted, queues a drain
// into the Qt event loop, and reaches the pump only while it lives.
//
// Threads: constructed, drained and destroyed on the user interface thread.
#include <QObject>
#include <functional>
#include <memory>

#include "platform/base/msgqueue.h"

class CQueuePump {
public:
    // handle: called with each message, on context's thread. A drain is
    // queued at once for what was posted before the pump existed.
    CQueuePump(CMessageQueue& queue, QObject& context,
               std::function<void(const CQueuedMessage&)> handle);
    ~CQueuePump();
    CQueuePump(const CQueuePump&) = delete;
    CQueuePump& operator=(const CQueuePump&) = delete;

    // Handles every message waiting in the queue.
    void Drain();

private:
    struct CTarget;
    void QueueDrain();

    CMessageQueue& m_queue;
    QObject& m_context;
    std::function<void(const CQueuedMessage&)> m_handle;
    std::shared_ptr<CTarget> m_pTarget;
};
