#include "ui/frame/queuepump.h"

#include <mutex>

struct CQueuePump::CTarget {
    std::mutex mutex;
    CQueuePump* pPump = nullptr; // guarded by mutex
};

CQueuePump::CQueuePump(CMessageQueue& queue, QObject& context,
                       std::function<void(const CQueuedMessage&)> handle)
    : m_queue(queue), m_context(context), m_handle(std::move(handle)),
      m_pTarget(std::make_shared<CTarget>())
{
    {
        std::lock_guard lock(m_pTarget->mutex);
        m_pTarget->pPump = this;
    }
    m_queue.SetWakeUp([target = m_pTarget] {
        std::lock_guard lock(target->mutex);
        if (target->pPump)
            target->pPump->QueueDrain();
    });
    QueueDrain();
}

CQueuePump::~CQueuePump()
{
    {
        std::lock_guard lock(m_pTarget->mutex);
        m_pTarget->pPump = nullptr;
    }
    m_queue.SetWakeUp(nullptr);
}

void CQueuePump::QueueDrain()
{
    // Runs on the context's thread later; the pump may be gone by then.
    QMetaObject::invokeMethod(
        &m_context,
        [target = m_pTarget] {
            CQueuePump* pPump = nullptr;
            {
                std::lock_guard lock(target->mutex);
                pPump = target->pPump;
            }
            if (pPump)
                pPump->Drain();
        },
        Qt::QueuedConnection);
}

void CQueuePump::Drain()
{
    while (auto msg = m_queue.Peek())
        m_handle(*msg);
}
