#pragma once
// A text log on a file of its own folder, with watch groups whose tasks
// record their runs.
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/monmanager.h"
#include "isolated_env.h"
#include "match/searchkeytext.h"
#include "platform/base/clock.h"
#include "platform/base/fileio.h"
#include "settings/systemlog.h"
#include "tests/tasks/recordaction.h"
#include "textlog/filemonitor.h"

inline CSearchKeyText* TextKey(const char* key1, TextKeyMode mode = TextKeyMode::ONLY,
                               const char* key2 = "", BOOL bCaseSensitive = FALSE)
{
    auto* pKey = new CSearchKeyText;
    pKey->m_strKey1 = key1;
    pKey->m_strKey2 = key2;
    pKey->m_nMode = mode;
    pKey->m_bCaseSensitive = bCaseSensitive;
    return pKey;
}

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

    // A group named strName with the keys, whose task records its runs in m_runs.
    CKeysAndActions* AddGroup(CMonitoredObject& log, const char* strName,
                              std::initializer_list<CSearchKey*> keys)
    {
        auto* pGroup = new CKeysAndActions;
        pGroup->m_strDescription = strName;
        pGroup->m_task.SetDescription(strName);
        pGroup->m_task.AddAction(CRecordAction(m_runs));
        for (CSearchKey* pKey : keys)
            pGroup->AddKey(pKey);
        log.AddWatchGroup(pGroup);
        return pGroup;
    }
    CKeysAndActions* AddGroup(const char* strName, std::initializer_list<CSearchKey*> keys)
    {
        return AddGroup(m_log, strName, keys);
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

    // "%EVENT_TEXT%" of each run since the last call.
    std::vector<std::string> TakeTexts()
    {
        std::vector<std::string> texts;
        for (const CTaskRun& run : m_runs->Get())
            texts.push_back(run.Var("%EVENT_TEXT%"));
        m_runs->Clear();
        return texts;
    }

    std::string m_strDir;
    CFileMonitor m_log;
    std::shared_ptr<CRunLog> m_runs = std::make_shared<CRunLog>();
};

using Texts = std::vector<std::string>;
