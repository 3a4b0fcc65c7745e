#include "ui/viewers/entrysource.h"

#include <algorithm>

#include "evtx/evtxfile.h"
#include "evtx/evtxmonitor.h"
#include "journal/journalhandle.h"
#include "journal/journalmonitor.h"

namespace {

class CJournalSource : public IEntrySource {
public:
    explicit CJournalSource(const CJournalMonitor& log)
        : m_strSource(log.m_strDirectory), m_arrMatches(log.m_arrMatches)
    {
    }

    bool Open(std::string& strError) override
    {
        std::vector<CJournalMatch> matches;
        return ParseJournalMatches(m_arrMatches, matches, strError) &&
               m_journal.Open(m_strSource, matches, strError);
    }

    std::vector<CEntryRow> ReadNewest(std::size_t nCount) override
    {
        std::vector<CEntryRow> rows;
        if (m_journal.SeekTail())
            ReadBackward(rows, nCount);
        return rows;
    }

    std::vector<CEntryRow> ReadBefore(const CEntryRow& first, std::size_t nCount) override
    {
        std::vector<CEntryRow> rows;
        // Onto the first row's entry (or the one after it, when it is gone),
        // then backwards from there.
        if (m_journal.SeekCursor(first.strKey) && m_journal.Next() > 0)
            ReadBackward(rows, nCount);
        return rows;
    }

    std::vector<CEntryRow> ReadAfter(const CEntryRow& last, std::size_t nCount) override
    {
        std::vector<CEntryRow> rows;
        if (!m_journal.SeekCursor(last.strKey))
            return rows;
        // The cursor's own entry is not read again; when it was vacuumed the
        // first entry after it is new.
        if (m_journal.Next() > 0 && !m_journal.TestCursor(last.strKey))
            rows.push_back(ReadRow());
        while (rows.size() < nCount && m_journal.Next() > 0)
            rows.push_back(ReadRow());
        return rows;
    }

    std::string Details(const CEntryRow& row) override
    {
        std::string strText;
        if (m_journal.SeekCursor(row.strKey) && m_journal.Next() > 0 &&
            m_journal.TestCursor(row.strKey))
            m_journal.ForEachField([&](std::string_view field) {
                strText.append(field);
                strText += '\n';
            });
        return strText;
    }

    const char* ExtraTitle() const override { return "Unit"; }
    int WakeupFd() override { return m_journal.GetWakeupFd(); }
    void ProcessWakeup() override { m_journal.Process(); }

private:
    // The current entry and up to nCount - 1 before it, oldest first.
    void ReadBackward(std::vector<CEntryRow>& rows, std::size_t nCount)
    {
        while (rows.size() < nCount && m_journal.Previous() > 0)
            rows.push_back(ReadRow());
        std::reverse(rows.begin(), rows.end());
    }

    CEntryRow ReadRow()
    {
        m_fields.Clear();
        m_journal.ReadFields(m_fields);
        CEntryRow row;
        row.nTimeUsec = m_journal.GetRealtimeUsec();
        row.nType = JournalPriorityToType(m_fields.priority);
        row.strSource = m_fields.identifier.empty() ? m_fields.comm : m_fields.identifier;
        row.strExtra = m_fields.unit;
        row.strHost = m_fields.hostname;
        row.strMessage = m_fields.message;
        row.strKey = m_journal.GetCursor();
        return row;
    }

    std::string m_strSource;
    std::vector<std::string> m_arrMatches;
    CJournalHandle m_journal;
    CJournalEntryFields m_fields;
};

// FILETIME (100 ns since 1601) to microseconds since 1970.
std::uint64_t FiletimeToUsec(std::uint64_t nFiletime)
{
    constexpr std::uint64_t EPOCH_DIFFERENCE = 116444736000000000ULL;
    return nFiletime > EPOCH_DIFFERENCE ? (nFiletime - EPOCH_DIFFERENCE) / 10 : 0;
}

// The records of an .evtx log's files, as one sequence: the files oldest
// first, each file's records by index.
class CEvtxSource : public IEntrySource {
public:
    explicit CEvtxSource(const CEvtxMonitor& log) : m_log(log) {}

    bool Open(std::string& strError) override
    {
        m_arrFiles = m_log.GetFiles();
        if (m_arrFiles.empty()) {
            strError = "no .evtx file in " + m_log.m_strPath;
            return false;
        }
        return true;
    }

    std::vector<CEntryRow> ReadNewest(std::size_t nCount) override
    {
        std::vector<CEntryRow> rows;
        ReadBackward(m_arrFiles.size(), -1, nCount, rows);
        return rows;
    }

    std::vector<CEntryRow> ReadBefore(const CEntryRow& first, std::size_t nCount) override
    {
        std::vector<CEntryRow> rows;
        ReadBackward(FileNumber(first.strKey) + 1, static_cast<int>(first.nIndex), nCount, rows);
        return rows;
    }

    std::vector<CEntryRow> ReadAfter(const CEntryRow& last, std::size_t nCount) override
    {
        // A file copied into the folder meanwhile lies after the last one.
        m_arrFiles = m_log.GetFiles();
        std::vector<CEntryRow> rows;
        int nFrom = static_cast<int>(last.nIndex) + 1;
        for (std::size_t f = FileNumber(last.strKey); f < m_arrFiles.size(); ++f, nFrom = 0) {
            if (!OpenFile(f))
                continue;
            for (int i = nFrom; i < m_file.GetRecordCount() && rows.size() < nCount; ++i)
                AddRow(f, i, rows);
        }
        return rows;
    }

    std::string Details(const CEntryRow& row) override
    {
        const std::size_t nFile = FileNumber(row.strKey);
        CEvtxRecord record;
        if (nFile >= m_arrFiles.size() || !OpenFile(nFile) ||
            !m_file.ReadRecord(static_cast<int>(row.nIndex), record))
            return {};
        return "File: " + row.strKey + "\nEventRecordID: " + std::to_string(record.nIdentifier) +
               "\n\n" + m_file.GetXml();
    }

    const char* ExtraTitle() const override { return "Event ID"; }

private:
    // The position of the file in the list; past the end when it is gone.
    std::size_t FileNumber(const std::string& strPath) const
    {
        return static_cast<std::size_t>(std::find(m_arrFiles.begin(), m_arrFiles.end(), strPath) -
                                        m_arrFiles.begin());
    }

    bool OpenFile(std::size_t nFile)
    {
        if (m_nOpenFile == nFile)
            return true;
        m_file.Close();
        m_nOpenFile = SIZE_MAX;
        std::string strError;
        if (!m_file.Open(m_arrFiles[nFile], strError))
            return false;
        m_nOpenFile = nFile;
        return true;
    }

    // Rows before record nBefore of file nFiles - 1 (its end when -1), and
    // then the files before it, oldest first.
    void ReadBackward(std::size_t nFiles, int nBefore, std::size_t nCount,
                      std::vector<CEntryRow>& rows)
    {
        for (std::size_t f = std::min(nFiles, m_arrFiles.size()); f-- > 0 && rows.size() < nCount;
             nBefore = -1) {
            if (!OpenFile(f))
                continue;
            int i = nBefore < 0 ? m_file.GetRecordCount() : nBefore;
            while (i-- > 0 && rows.size() < nCount)
                AddRow(f, i, rows);
        }
        std::reverse(rows.begin(), rows.end());
    }

    // The record as a row; a record that cannot be parsed shows as such.
    void AddRow(std::size_t nFile, int nIndex, std::vector<CEntryRow>& rows)
    {
        CEntryRow row;
        row.strKey = m_arrFiles[nFile];
        row.nIndex = static_cast<std::uint64_t>(nIndex);
        CEvtxRecord record;
        if (!m_file.ReadRecord(nIndex, record)) {
            row.nType = EVENTLOG_ERROR_TYPE;
            row.strMessage = "(a damaged record that cannot be read)";
        } else {
            const std::string strXml = m_file.GetXml();
            row.nTimeUsec = FiletimeToUsec(record.nWrittenFiletime);
            row.nType = EvtxEventType(record.nLevel, strXml);
            row.strSource = record.strProvider;
            row.strExtra = std::to_string(record.nEventID);
            row.strHost = record.strComputer;
            row.strMessage = EvtxDataLines(strXml);
        }
        rows.push_back(std::move(row));
    }

    const CEvtxMonitor& m_log;
    std::vector<std::string> m_arrFiles;
    CEvtxFile m_file;
    std::size_t m_nOpenFile = SIZE_MAX;
};

} // namespace

std::unique_ptr<IEntrySource> MakeEntrySource(const CMonitoredObject& log)
{
    if (const auto* journal = dynamic_cast<const CJournalMonitor*>(&log))
        return std::make_unique<CJournalSource>(*journal);
    if (const auto* evtx = dynamic_cast<const CEvtxMonitor*>(&log))
        return std::make_unique<CEvtxSource>(*evtx);
    return nullptr;
}
