#include "textlog/mappedregion.h"

#include <atomic>
#include <csignal>
#include <cstdint>
#include <mutex>

#include <sys/mman.h>
#include <unistd.h>

namespace {

// The regions mapped now, for the signal handler: lock-free atomics only.
struct CSlot {
    std::atomic<bool> bUsed{false};
    std::atomic<std::uintptr_t> nBegin{0};
    std::atomic<std::uintptr_t> nEnd{0};
    std::atomic<bool> bCut{false};
};
constexpr int SLOT_COUNT = 64;
CSlot g_slots[SLOT_COUNT];
struct sigaction g_previous {};
std::uintptr_t g_nPageSize = 4096;

void OnBusError(int nSignal, siginfo_t* pInfo, void* pContext)
{
    const auto nAddress = reinterpret_cast<std::uintptr_t>(pInfo->si_addr);
    for (CSlot& slot : g_slots) {
        if (nAddress >= slot.nBegin.load() && nAddress < slot.nEnd.load()) {
            // A page past the end of a cut file: zeros in its place, and the
            // read that faulted is tried again.
            void* pPage = static_cast<char*>(pInfo->si_addr) - (nAddress & (g_nPageSize - 1));
            if (::mmap(pPage, g_nPageSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1,
                       0) == MAP_FAILED)
                break;
            slot.bCut.store(true);
            return;
        }
    }
    // Not one of ours: whoever handled it before, or the default (the
    // fault comes again and ends the process).
    if ((g_previous.sa_flags & SA_SIGINFO) && g_previous.sa_sigaction) {
        g_previous.sa_sigaction(nSignal, pInfo, pContext);
    } else if (g_previous.sa_handler != SIG_DFL && g_previous.sa_handler != SIG_IGN) {
        g_previous.sa_handler(nSignal);
    } else {
        struct sigaction dfl {};
        dfl.sa_handler = SIG_DFL;
        ::sigaction(SIGBUS, &dfl, nullptr);
    }
}

void InstallHandler()
{
    static std::once_flag s_once;
    std::call_once(s_once, [] {
        g_nPageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
        struct sigaction action {};
        action.sa_sigaction = OnBusError;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &g_previous);
    });
}

} // namespace

bool CMappedRegion::Map(int fd, QWORD nOffset, std::size_t nLength)
{
    Unmap();
    if (nLength == 0)
        return true;
    InstallHandler();
    for (int i = 0; i < SLOT_COUNT && m_nSlot < 0; ++i) {
        bool bFree = false;
        if (g_slots[i].bUsed.compare_exchange_strong(bFree, true))
            m_nSlot = i;
    }
    if (m_nSlot < 0)
        return false;
    const QWORD nStart = nOffset & ~QWORD{g_nPageSize - 1};
    const auto nLead = static_cast<std::size_t>(nOffset - nStart);
    void* p =
        ::mmap(nullptr, nLead + nLength, PROT_READ, MAP_PRIVATE, fd, static_cast<off_t>(nStart));
    if (p == MAP_FAILED) {
        g_slots[m_nSlot].bUsed.store(false);
        m_nSlot = -1;
        return false;
    }
    m_pMap = p;
    m_nMapLength = nLead + nLength;
    m_pData = static_cast<const char*>(p) + nLead;
    m_nLength = nLength;
    CSlot& slot = g_slots[m_nSlot];
    // The range is never seen wider than the mapping: the end last here,
    // first in Unmap.
    slot.bCut.store(false);
    slot.nBegin.store(reinterpret_cast<std::uintptr_t>(p));
    slot.nEnd.store(reinterpret_cast<std::uintptr_t>(p) + m_nMapLength);
    return true;
}

void CMappedRegion::Unmap()
{
    if (m_nSlot < 0)
        return;
    CSlot& slot = g_slots[m_nSlot];
    slot.nEnd.store(0);
    slot.nBegin.store(0);
    if (m_pMap)
        ::munmap(m_pMap, m_nMapLength);
    slot.bUsed.store(false);
    m_nSlot = -1;
    m_pMap = nullptr;
    m_pData = nullptr;
    m_nMapLength = m_nLength = 0;
}

bool CMappedRegion::WasCut() const
{
    return m_nSlot >= 0 && g_slots[m_nSlot].bCut.load();
}
