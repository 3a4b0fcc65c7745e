#include "app/settings/systemlog.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "app/settings/appsettings.h"
#include "app/settings/textcut.h"
#include "brancmn/brancmn.h"

CCriticalSection g_csSystemLog;
int g_bExtendedAudit = 0;

void RefreshExtendedAudit() { g_bExtendedAudit = AppSettings::GetExtendedAudit(); }

void WriteSystemLog(const char* text)
{
    CSingleLock lock(g_csSystemLog);
    LogError(text);
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
