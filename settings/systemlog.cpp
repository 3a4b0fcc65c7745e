#include "settings/systemlog.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/brancmn.h"
#include "settings/appsettings.h"
#include "settings/textcut.h"

CCriticalSection g_csSystemLog;
int g_bExtendedAudit = 0;

namespace {

// The repeats of the calling thread's current scope.
struct CRepeats {
    int m_nDepth = 0;
    std::unordered_map<std::string, unsigned> m_mapCounts; // line -> further writes
    std::vector<const std::string*> m_arrOrder;            // the lines in first-written order
};
thread_local CRepeats t_repeats;
std::atomic<SystemLogEcho> g_pfnEcho{nullptr};

} // namespace

CSystemLogRepeatScope::CSystemLogRepeatScope()
{
    ++t_repeats.m_nDepth;
}

CSystemLogRepeatScope::~CSystemLogRepeatScope()
{
    if (--t_repeats.m_nDepth > 0)
        return;
    // Taken out first, so the count lines are written as they come.
    CRepeats repeats;
    std::swap(repeats.m_mapCounts, t_repeats.m_mapCounts);
    std::swap(repeats.m_arrOrder, t_repeats.m_arrOrder);
    for (const std::string* pLine : repeats.m_arrOrder) {
        const unsigned nMore = repeats.m_mapCounts[*pLine];
        if (nMore > 0)
            WriteSystemLogF(SYSTEM_LOG_REPEAT_FORMAT, nMore, pLine->c_str());
    }
}

void RefreshExtendedAudit()
{
    g_bExtendedAudit = AppSettings::GetExtendedAudit();
}

void WriteSystemLog(const char* text)
{
    if (t_repeats.m_nDepth > 0 && text) {
        auto found = t_repeats.m_mapCounts.find(text);
        if (found != t_repeats.m_mapCounts.end()) {
            ++found->second;
            return;
        }
        if (t_repeats.m_mapCounts.size() < SYSTEM_LOG_REPEAT_LINES) {
            auto added = t_repeats.m_mapCounts.emplace(text, 0u).first;
            t_repeats.m_arrOrder.push_back(&added->first);
        }
    }
    CSingleLock lock(g_csSystemLog);
    LogError(text);
    if (SystemLogEcho pfnEcho = g_pfnEcho.load(); pfnEcho && text)
        pfnEcho(text);
}

void SetSystemLogEcho(SystemLogEcho pfnEcho)
{
    g_pfnEcho = pfnEcho;
}

void WriteSystemLogF(const char* format, ...)
{
    CSingleLock lock(g_csSystemLog);
    char buffer[1000];
    va_list args;
    va_start(args, format);
    int length = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (length < 0)
        buffer[0] = '\0';
    else if (static_cast<std::size_t>(length) >= sizeof buffer)
        buffer[CompleteLength(buffer, sizeof buffer - 1)] = '\0';
    WriteSystemLog(buffer);
}
