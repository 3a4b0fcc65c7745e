#pragma once
// Sets the process's time zone (TZ) for the scope, restoring the old one after.
#include <cstdlib>
#include <ctime>
#include <string>

class CTimeZone {
public:
    explicit CTimeZone(const char* zone)
    {
        const char* old = std::getenv("TZ");
        m_bHadZone = old != nullptr;
        if (old)
            m_strOld = old;
        Set(zone);
    }
    ~CTimeZone()
    {
        if (m_bHadZone)
            Set(m_strOld.c_str());
        else {
            ::unsetenv("TZ");
            ::tzset();
        }
    }
    CTimeZone(const CTimeZone&) = delete;
    CTimeZone& operator=(const CTimeZone&) = delete;

    static void Set(const char* zone)
    {
        ::setenv("TZ", zone, 1);
        ::tzset();
    }

private:
    bool m_bHadZone = false;
    std::string m_strOld;
};
