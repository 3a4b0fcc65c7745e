#pragma once
// Sets the process's time zone (TZ) for the scope, restoring the old one after.
#include <ctime>

#include "testing.h"

class CTimeZone {
public:
    explicit CTimeZone(const char* zone)
    {
        if (const char* old = std::getenv("TZ"))
            m_old = old;
        Set(zone);
    }
    ~CTimeZone() { Set(m_old ? m_old->c_str() : nullptr); }
    CTimeZone(const CTimeZone&) = delete;
    CTimeZone& operator=(const CTimeZone&) = delete;

    // The zone, or none (the system's) for null.
    static void Set(const char* zone)
    {
        if (zone)
            ::setenv("TZ", zone, 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

private:
    std::optional<std::string> m_old;
};
