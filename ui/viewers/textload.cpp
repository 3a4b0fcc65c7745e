#include "ui/viewers/textload.h"

#include <cerrno>
#include <string>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

std::shared_ptr<CTextLoad> CTextLoad::Start(QObject* pReceiver, int fd, BlockFn fnBlock,
                                            DoneFn fnDone, std::size_t nBlockBytes)
{
    std::shared_ptr<CTextLoad> pLoad(new CTextLoad(pReceiver, fd, std::move(fnBlock),
                                                   std::move(fnDone),
                                                   nBlockBytes ? nBlockBytes : DEFAULT_BLOCK));
    std::thread([pLoad] { pLoad->Run(); }).detach();
    return pLoad;
}

CTextLoad::CTextLoad(QObject* pReceiver, int fd, BlockFn fnBlock, DoneFn fnDone,
                     std::size_t nBlockBytes)
    : m_fd(fd), m_fnBlock(std::move(fnBlock)), m_fnDone(std::move(fnDone)),
      m_nBlockBytes(nBlockBytes), m_pReceiver(pReceiver)
{
}

CTextLoad::~CTextLoad()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void CTextLoad::Cancel()
{
    m_bCancelled = true;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pReceiver = nullptr;
    m_taken.notify_all();
}

bool CTextLoad::Post(std::function<void()> fnCall)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_taken.wait(lock, [this] { return m_nQueued < MAX_QUEUED || !m_pReceiver; });
    if (!m_pReceiver)
        return false;
    ++m_nQueued;
    // The receiver cannot go while the lock is held: its owner cancels
    // (under the lock) before it dies, and pending calls die with it.
    QMetaObject::invokeMethod(m_pReceiver, std::move(fnCall), Qt::QueuedConnection);
    return true;
}

void CTextLoad::Taken()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    --m_nQueued;
    m_taken.notify_all();
}

void CTextLoad::Run()
{
    struct stat st {};
    const double dSize =
        ::fstat(m_fd, &st) == 0 && st.st_size > 0 ? static_cast<double>(st.st_size) : 0.0;
    double dRead = 0;
    auto self = shared_from_this();
    while (!m_bCancelled) {
        std::string buffer(m_nBlockBytes, '\0');
        ssize_t n = ::read(m_fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        dRead += static_cast<double>(n);
        buffer.resize(static_cast<std::size_t>(n));
        int nPercent = dSize > 0 ? static_cast<int>(std::min(100.0, dRead * 100.0 / dSize)) : 100;
        if (!Post([self, bytes = std::move(buffer), nPercent] {
                self->Taken();
                if (!self->m_bCancelled)
                    self->m_fnBlock(bytes, nPercent);
            }))
            return;
    }
    ::close(m_fd);
    m_fd = -1;
    Post([self] {
        self->Taken();
        if (self->m_bCancelled)
            return;
        self->m_bDone = true;
        self->m_fnDone();
    });
}
