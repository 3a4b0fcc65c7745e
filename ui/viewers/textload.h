#pragma once
// CTextLoad: reads an opened file on a worker thread, in blocks, and hands
// each block as text to the window thread through queued calls on a
// receiver object. At most a few blocks wait in the queue at a time: the
// worker waits for the window thread to take them, never the other way
// round.
//
// Threads: Start, Cancel and the destructor on the receiver's (window)
// thread. The callbacks run there too, never after Cancel. The worker holds
// the load alive by a shared pointer and ends soon after Cancel.
#include <QObject>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

class CTextLoad : public std::enable_shared_from_this<CTextLoad> {
public:
    // A block of the file's bytes and how far the load got (0-100).
    using BlockFn = std::function<void(const std::string& bytes, int nPercent)>;
    // The end of the file was reached, or reading failed; what was read
    // before has been handed over.
    using DoneFn = std::function<void()>;

    static constexpr std::size_t DEFAULT_BLOCK = 1 << 20;

    // Takes ownership of the open file descriptor and starts the worker.
    static std::shared_ptr<CTextLoad> Start(QObject* pReceiver, int fd, BlockFn fnBlock,
                                            DoneFn fnDone, std::size_t nBlockBytes = DEFAULT_BLOCK);
    ~CTextLoad();
    CTextLoad(const CTextLoad&) = delete;
    CTextLoad& operator=(const CTextLoad&) = delete;

    // No callback runs after this; the worker stops at its next block.
    void Cancel();
    bool IsDone() const { return m_bDone; }

private:
    CTextLoad(QObject* pReceiver, int fd, BlockFn fnBlock, DoneFn fnDone, std::size_t nBlockBytes);
    void Run();
    // Queues a call on the receiver's thread unless cancelled; false then.
    bool Post(std::function<void()> fnCall);
    void Taken();

    static constexpr int MAX_QUEUED = 4;

    int m_fd;
    const BlockFn m_fnBlock;
    const DoneFn m_fnDone;
    const std::size_t m_nBlockBytes;
    std::atomic<bool> m_bCancelled{false};
    bool m_bDone = false; // window thread only

    std::mutex m_mutex;
    std::condition_variable m_taken;
    QObject* m_pReceiver; // guarded by m_mutex; null after Cancel
    int m_nQueued = 0;    // guarded by m_mutex
};
