#pragma once
// A text log on a file of its own folder, with watch groups whose tasks
// record their runs.
#include "core/monmanager.h"
#include "platform/base/clock.h"
#include "platform/base/fileio.h"
#include "settings/systemlog.h"
#include "testing.h"
#include "tests/tasks/recordaction.h"
#include "textlog/filemonitor.h"

class TextLogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_strDir = TestDir();
        ASSERT_TRUE(EnsureDirectory(m_strDir));
        m_log.m_strShortDescription = "Sample Log";
        m_log.m_strDirectory = m_strDir + "/";
        m_log.m_strFileName = "app.log";
    }
    void TearDown() override
    {
        g_hStopScanEvent.Reset();
        g_bExtendedAudit = 0;
        SetClock(nullptr);
    }

    CKeysAndActions* AddGroup(const char* strName, std::initializer_list<CSearchKey*> keys)
    {
        return AddRecordingGroup(m_log, strName, m_runs, keys);
    }

    std::string FilePath() const { return m_strDir + "/app.log"; }
    // Replaces the contents in place, as a writer that truncates its log does.
    void Write(const std::string& bytes)
    {
        std::ofstream out(FilePath(), std::ios::binary | std::ios::trunc);
        out << bytes;
        ASSERT_TRUE(out.flush());
    }
    void Append(const std::string& bytes) { ASSERT_TRUE(AppendToFile(FilePath(), bytes)); }

    std::string m_strDir;
    CFileMonitor m_log;
    std::shared_ptr<CRunLog> m_runs = std::make_shared<CRunLog>();
};

using Texts = std::vector<std::string>;
