#pragma once
// The program's system log as the tests read it: whole, or its lines from a
// point on without their "YYYY-MM-DD HH:MM:SS " stamps.
#include "platform/base/fileio.h"
#include "settings/appsettings.h"
#include "testing.h"

inline std::string SystemLogText()
{
    return ReadFileBytes(AppSettings::GetErrorLogPath()).value_or("");
}

// The lines of a stamped text, without their stamps.
inline std::vector<std::string> Unstamped(const std::string& text)
{
    std::vector<std::string> lines;
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t end = text.find('\n', pos);
        std::string line = text.substr(pos, end - pos);
        lines.push_back(line.size() >= 20 ? line.substr(20) : line);
        pos = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

// The lines written since construction, or since the last Take().
class CSystemLogReader {
public:
    std::vector<std::string> Lines() const
    {
        std::string text = SystemLogText();
        return Unstamped(text.substr(std::min(m_nStart, text.size())));
    }
    std::vector<std::string> Take()
    {
        std::vector<std::string> lines = Lines();
        m_nStart = SystemLogText().size();
        return lines;
    }

private:
    std::size_t m_nStart = SystemLogText().size();
};
