#include "journal/journalhandle.h"

#include <cstdlib>
#include <cstring>

#include <systemd/sd-journal.h>

CJournalHandle::~CJournalHandle()
{
    Close();
}

bool CJournalHandle::Open(const std::string& strSource, const std::vector<CJournalMatch>& matches,
                          std::string& strError)
{
    Close();
    int r = 0;
    constexpr std::string_view SUFFIX = ".journal";
    if (strSource.empty()) {
        r = sd_journal_open(&m_pJournal, SD_JOURNAL_LOCAL_ONLY);
    } else if (strSource.size() > SUFFIX.size() &&
               std::string_view(strSource).substr(strSource.size() - SUFFIX.size()) == SUFFIX) {
        const char* paths[] = {strSource.c_str(), nullptr};
        r = sd_journal_open_files(&m_pJournal, paths, 0);
    } else {
        r = sd_journal_open_directory(&m_pJournal, strSource.c_str(), 0);
    }
    if (r < 0) {
        m_pJournal = nullptr;
        strError = ErrorText(r);
        return false;
    }
    for (const CJournalMatch& match : matches) {
        r = match.strMatch.empty()
                ? sd_journal_add_disjunction(m_pJournal)
                : sd_journal_add_match(m_pJournal, match.strMatch.data(), match.strMatch.size());
        if (r < 0) {
            strError = "match '" + match.strMatch + "': " + ErrorText(r);
            Close();
            return false;
        }
    }
    return true;
}

void CJournalHandle::Close()
{
    if (m_pJournal)
        sd_journal_close(m_pJournal);
    m_pJournal = nullptr;
}

bool CJournalHandle::SeekHead()
{
    return sd_journal_seek_head(m_pJournal) >= 0;
}

bool CJournalHandle::SeekTail()
{
    return sd_journal_seek_tail(m_pJournal) >= 0;
}

bool CJournalHandle::SeekCursor(const std::string& strCursor)
{
    return sd_journal_seek_cursor(m_pJournal, strCursor.c_str()) >= 0;
}

int CJournalHandle::Next()
{
    return sd_journal_next(m_pJournal);
}

int CJournalHandle::Previous()
{
    return sd_journal_previous(m_pJournal);
}

std::string CJournalHandle::GetCursor() const
{
    char* pCursor = nullptr;
    if (sd_journal_get_cursor(m_pJournal, &pCursor) < 0 || !pCursor)
        return {};
    std::string cursor(pCursor);
    std::free(pCursor);
    return cursor;
}

bool CJournalHandle::TestCursor(const std::string& strCursor) const
{
    return sd_journal_test_cursor(m_pJournal, strCursor.c_str()) > 0;
}

std::uint64_t CJournalHandle::GetRealtimeUsec() const
{
    std::uint64_t usec = 0;
    return sd_journal_get_realtime_usec(m_pJournal, &usec) >= 0 ? usec : 0;
}

namespace {

// Every "NAME=value" of the current entry, in the order stored; fields the
// library cannot read (compressed by an unknown method) are left out.
template <typename Visit> void VisitFields(sd_journal* pJournal, Visit visit)
{
    const void* pData = nullptr;
    std::size_t nLength = 0;
    sd_journal_restart_data(pJournal);
    while (sd_journal_enumerate_available_data(pJournal, &pData, &nLength) > 0)
        visit(std::string_view(static_cast<const char*>(pData), nLength));
}

} // namespace

void CJournalHandle::ReadFields(CJournalEntryFields& fields)
{
    ReadFieldsUntimed(fields);
    fields.nRealtimeUsec = GetRealtimeUsec();
}

void CJournalHandle::ReadFieldsUntimed(CJournalEntryFields& fields)
{
    fields.Clear();
    VisitFields(m_pJournal, [&](std::string_view data) { fields.Add(data); });
    fields.Finish();
}

void CJournalHandle::ForEachField(const std::function<void(std::string_view)>& visit)
{
    VisitFields(m_pJournal, visit);
}

int CJournalHandle::GetWakeupFd()
{
    return m_pJournal ? sd_journal_get_fd(m_pJournal) : -1;
}

int CJournalHandle::Process()
{
    return m_pJournal ? sd_journal_process(m_pJournal) : -1;
}

std::string CJournalHandle::ErrorText(int nError)
{
    return std::strerror(nError < 0 ? -nError : nError);
}
