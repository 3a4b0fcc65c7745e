#pragma once
// Shared by the task library's tests: a capture of the task log lines (which
// the reaper thread also writes), and the probe program's report.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/base/fileio.h"
#include "tasklib/tasklog.h"

class CLogCapture {
public:
    CLogCapture()
    {
        {
            std::lock_guard lock(Mutex());
            Lines().clear();
        }
        SetTaskLogHook(&Hook);
    }
    ~CLogCapture() { SetTaskLogHook(nullptr); }
    CLogCapture(const CLogCapture&) = delete;
    CLogCapture& operator=(const CLogCapture&) = delete;

    std::vector<std::string> Get() const
    {
        std::lock_guard lock(Mutex());
        return Lines();
    }
    // Waits up to 30 seconds for a line that contains the text.
    bool WaitFor(const std::string& text) const
    {
        std::unique_lock lock(Mutex());
        return Changed().wait_for(lock, std::chrono::seconds(30), [&] {
            for (const std::string& line : Lines())
                if (line.find(text) != std::string::npos)
                    return true;
            return false;
        });
    }

private:
    static std::mutex& Mutex()
    {
        static std::mutex m;
        return m;
    }
    static std::condition_variable& Changed()
    {
        static std::condition_variable cv;
        return cv;
    }
    static std::vector<std::string>& Lines()
    {
        static std::vector<std::string> v;
        return v;
    }
    static void Hook(const std::string& line)
    {
        {
            std::lock_guard lock(Mutex());
            Lines().push_back(line);
        }
        Changed().notify_all();
    }
};

// The probe's report: its working folder ("D:"), arguments ("A:") and
// QUORVIL_ environment ("E:"), in order.
inline std::vector<std::string> ReadProbe(const std::string& path)
{
    std::vector<std::string> items;
    std::string data = ReadFileBytes(path).value_or("");
    std::size_t start = 0;
    for (std::size_t end; (end = data.find('\0', start)) != std::string::npos; start = end + 1)
        items.push_back(data.substr(start, end - start));
    return items;
}

inline std::vector<std::string> Only(const std::vector<std::string>& items, char kind)
{
    std::vector<std::string> result;
    for (const std::string& item : items)
        if (item.size() >= 2 && item[0] == kind && item[1] == ':')
            result.push_back(item.substr(2));
    return result;
}
