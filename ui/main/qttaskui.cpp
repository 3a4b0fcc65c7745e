#include "ui/main/qttaskui.h"

#include <QMessageBox>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "core/monmanager.h"
#include "ui/common/qtstrings.h"
#include "ui/dialogs/dialogs.h"

namespace {

// Whether the message window is closed, shared by the waiting thread and the
// window thread.
struct CMessageClosed {
    std::mutex mutex;
    std::condition_variable cv;
    bool bClosed = false; // guarded by mutex

    void Set()
    {
        {
            std::lock_guard lock(mutex);
            bClosed = true;
        }
        cv.notify_all();
    }
};

QMessageBox* OpenMessageWindow(QWidget* parent, const std::string& strTask,
                               const std::string& strText)
{
    auto* box = new QMessageBox(QMessageBox::Information, ToQt(strTask), ToQt(strText),
                                QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
    return box;
}

} // namespace

void CQtTaskUi::ShowTaskMessage(const std::string& strTask, const std::string& strText)
{
    if (QThread::currentThread() == m_context.thread()) {
        OpenMessageWindow(m_pParent, strTask, strText);
        return;
    }
    auto closed = std::make_shared<CMessageClosed>();
    QMetaObject::invokeMethod(
        &m_context,
        [this, closed, strTask, strText] {
            QMessageBox* box = OpenMessageWindow(m_pParent, strTask, strText);
            QObject::connect(box, &QObject::destroyed, [closed] { closed->Set(); });
        },
        Qt::QueuedConnection);
    std::unique_lock lock(closed->mutex);
    // The stop event has no waiter of its own, so look at it now and then.
    while (!closed->bClosed && !IsStopRequested())
        closed->cv.wait_for(lock, std::chrono::milliseconds(50));
}

int CQtTaskUi::EditTask(CTask& task)
{
    return RunTaskDialog(m_pParent, task);
}

void CQtTaskUi::ShowNotification(const CNotification& notification)
{
    m_notifier.Notify(notification);
}
