#pragma once
// Shared by the task library's tests: a capture of the task log lines (which
// the reaper thread also writes), and the probe program's report.
#include "platform/base/fileio.h"
#include "tasklib/task.h"
#include "tasklib/tasklog.h"
#include "tasklib/taskui.h"
#include "testing.h"

class CLogCapture {
public:
    CLogCapture()
    {
        {
            std::lock_guard lock(s_mutex);
            s_lines.clear();
        }
        SetTaskLogHook(&Hook);
    }
    ~CLogCapture() { SetTaskLogHook(nullptr); }
    CLogCapture(const CLogCapture&) = delete;
    CLogCapture& operator=(const CLogCapture&) = delete;

    std::vector<std::string> Get() const
    {
        std::lock_guard lock(s_mutex);
        return s_lines;
    }
    // Waits up to 30 seconds for a line that contains the text.
    bool WaitFor(const std::string& text) const
    {
        std::unique_lock lock(s_mutex);
        return s_changed.wait_for(lock, std::chrono::seconds(30), [&] {
            return std::any_of(s_lines.begin(), s_lines.end(), [&](const std::string& line) {
                return line.find(text) != std::string::npos;
            });
        });
    }

private:
    static void Hook(const std::string& line)
    {
        {
            std::lock_guard lock(s_mutex);
            s_lines.push_back(line);
        }
        s_changed.notify_all();
    }
    static inline std::mutex s_mutex;
    static inline std::condition_variable s_changed;
    static inline std::vector<std::string> s_lines;
};

// The task front end of a window, installed for its lifetime: records the
// messages shown and renames a task it is asked to edit.
class CRecordingUi final : public ITaskUi {
public:
    CRecordingUi() { SetTaskUi(this); }
    ~CRecordingUi() override { SetTaskUi(nullptr); }
    CRecordingUi(const CRecordingUi&) = delete;
    CRecordingUi& operator=(const CRecordingUi&) = delete;

    void ShowTaskMessage(const std::string& strTask, const std::string& strText) override
    {
        std::lock_guard lock(m_mutex);
        m_arrMessages.emplace_back(strTask, strText);
    }
    int EditTask(CTask& task) override
    {
        CTask copy = task;
        copy.SetDescription("Edited");
        task = copy;
        return 1;
    }

    std::mutex m_mutex;
    std::vector<std::pair<std::string, std::string>> m_arrMessages;
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
