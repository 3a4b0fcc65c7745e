#include "evtx/evtxfile.h"

#include <algorithm>
#include <cstring>

#include <libevtx.h>

namespace {

std::string TakeError(libevtx_error_t*& pError)
{
    std::string text = "not an event log file";
    if (pError) {
        char buffer[512] = {};
        if (libevtx_error_sprint(pError, buffer, sizeof buffer) > 0)
            text = buffer;
        libevtx_error_free(&pError);
    }
    // libevtx ends its lines with a line feed; the system log adds its own.
    while (!text.empty() && (text.back() == '\n' || text.back() == '.'))
        text.pop_back();
    return text;
}

// A text of the record in UTF-8. Asking for its size first makes the text
// twice (for the XML, renders the whole document twice): it is made into
// the room of the buffer, the largest text so far, and the size is asked
// only when that is too small.
template <class SizeFn, class GetFn>
void GetUtf8(SizeFn size, GetFn get, std::string& buffer, std::string& text)
{
    libevtx_error_t* pError = nullptr;
    text.clear();
    if (buffer.size() > 1) {
        if (get(reinterpret_cast<uint8_t*>(buffer.data()), buffer.size(), &pError) == 1) {
            text.assign(buffer.c_str());
            return;
        }
        if (pError)
            libevtx_error_free(&pError);
    }
    std::size_t n = 0;
    if (size(&n, &pError) != 1 || n == 0) {
        if (pError)
            libevtx_error_free(&pError);
        return;
    }
    if (n > buffer.size())
        buffer.assign(std::max<std::size_t>(2 * n, 256), '\0');
    if (get(reinterpret_cast<uint8_t*>(buffer.data()), n, &pError) != 1) {
        if (pError)
            libevtx_error_free(&pError);
        return;
    }
    text.assign(buffer.c_str());
}

// GetUtf8 of one of the record's own texts (source name, computer, ...).
template <class SizeFn, class GetFn>
void GetRecordText(libevtx_record_t* pRecord, SizeFn size, GetFn get, std::string& buffer,
                   std::string& text)
{
    GetUtf8([&](std::size_t* n, libevtx_error_t** e) { return size(pRecord, n, e); },
            [&](uint8_t* p, std::size_t n, libevtx_error_t** e) { return get(pRecord, p, n, e); },
            buffer, text);
}

} // namespace

CEvtxFile::~CEvtxFile()
{
    Close();
}

bool CEvtxFile::Open(const std::string& strPath, std::string& strError)
{
    Close();
    libevtx_error_t* pError = nullptr;
    if (libevtx_file_initialize(&m_pFile, &pError) != 1) {
        strError = TakeError(pError);
        return false;
    }
    if (libevtx_file_open(m_pFile, strPath.c_str(), LIBEVTX_OPEN_READ, &pError) != 1) {
        strError = TakeError(pError);
        libevtx_file_free(&m_pFile, nullptr);
        m_pFile = nullptr;
        return false;
    }
    if (libevtx_file_get_number_of_records(m_pFile, &m_nRecords, &pError) != 1) {
        strError = TakeError(pError);
        Close();
        return false;
    }
    return true;
}

void CEvtxFile::FreeRecord()
{
    if (m_pRecord)
        libevtx_record_free(&m_pRecord, nullptr);
    m_pRecord = nullptr;
}

void CEvtxFile::Close()
{
    FreeRecord();
    if (m_pFile) {
        libevtx_file_close(m_pFile, nullptr);
        libevtx_file_free(&m_pFile, nullptr);
    }
    m_pFile = nullptr;
    m_nRecords = 0;
}

bool CEvtxFile::ReadIdentifier(int nIndex, std::uint64_t& nIdentifier)
{
    FreeRecord();
    libevtx_error_t* pError = nullptr;
    if (libevtx_file_get_record_by_index(m_pFile, nIndex, &m_pRecord, &pError) != 1 ||
        libevtx_record_get_identifier(m_pRecord, &nIdentifier, &pError) != 1) {
        if (pError)
            libevtx_error_free(&pError);
        FreeRecord();
        return false;
    }
    return true;
}

bool CEvtxFile::ReadRecord(int nIndex, CEvtxRecord& record)
{
    if (!ReadIdentifier(nIndex, record.nIdentifier))
        return false;
    libevtx_error_t* pError = nullptr;
    uint32_t n32 = 0;
    uint8_t n8 = 0;
    record.nEventID = libevtx_record_get_event_identifier(m_pRecord, &n32, &pError) == 1 ? n32 : 0;
    if (pError)
        libevtx_error_free(&pError);
    record.nQualifiers =
        libevtx_record_get_event_identifier_qualifiers(m_pRecord, &n32, &pError) == 1 ? n32 : 0;
    if (pError)
        libevtx_error_free(&pError);
    record.nLevel = libevtx_record_get_event_level(m_pRecord, &n8, &pError) == 1 ? n8 : 0;
    if (pError)
        libevtx_error_free(&pError);
    uint64_t nTime = 0;
    record.nWrittenFiletime =
        libevtx_record_get_written_time(m_pRecord, &nTime, &pError) == 1 ? nTime : 0;
    if (pError)
        libevtx_error_free(&pError);
    GetRecordText(m_pRecord, libevtx_record_get_utf8_source_name_size,
                  libevtx_record_get_utf8_source_name, m_buffer, record.strProvider);
    GetRecordText(m_pRecord, libevtx_record_get_utf8_computer_name_size,
                  libevtx_record_get_utf8_computer_name, m_buffer, record.strComputer);
    GetRecordText(m_pRecord, libevtx_record_get_utf8_user_security_identifier_size,
                  libevtx_record_get_utf8_user_security_identifier, m_buffer, record.strUserSid);
    int nStrings = 0;
    if (libevtx_record_get_number_of_strings(m_pRecord, &nStrings, &pError) != 1) {
        nStrings = 0;
        libevtx_error_free(&pError);
    }
    // The texts keep their memory from record to record.
    record.arrStrings.resize(static_cast<std::size_t>(std::max(nStrings, 0)));
    for (int i = 0; i < nStrings; ++i)
        GetUtf8(
            [&](std::size_t* n, libevtx_error_t** e) {
                return libevtx_record_get_utf8_string_size(m_pRecord, i, n, e);
            },
            [&](uint8_t* p, std::size_t n, libevtx_error_t** e) {
                return libevtx_record_get_utf8_string(m_pRecord, i, p, n, e);
            },
            m_buffer, record.arrStrings[static_cast<std::size_t>(i)]);
    return true;
}

std::string CEvtxFile::GetXml()
{
    std::string xml;
    if (m_pRecord)
        GetRecordText(m_pRecord, libevtx_record_get_utf8_xml_string_size,
                      libevtx_record_get_utf8_xml_string, m_buffer, xml);
    return xml;
}

WORD EvtxEventType(BYTE nLevel, const std::string& strXml)
{
    if (nLevel == 1 || nLevel == 2)
        return EVENTLOG_ERROR_TYPE;
    if (nLevel == 3)
        return EVENTLOG_WARNING_TYPE;
    // Security events have level 0 and say success or failure in their
    // keywords.
    const std::size_t pos = strXml.find("<Keywords>0x");
    if (pos != std::string::npos) {
        const std::size_t digits = pos + std::strlen("<Keywords>0x");
        const std::size_t end = strXml.find('<', digits);
        const std::string hex = strXml.substr(digits, end - digits);
        std::uint64_t nKeywords = 0;
        for (char c : hex) {
            const int v = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
            if (v < 0)
                break;
            nKeywords = nKeywords << 4 | static_cast<unsigned>(v);
        }
        if (nKeywords & 0x0010000000000000ULL)
            return EVENTLOG_AUDIT_FAILURE;
        if (nKeywords & 0x0020000000000000ULL)
            return EVENTLOG_AUDIT_SUCCESS;
    }
    return EVENTLOG_INFORMATION_TYPE;
}

namespace {

// The XML's character references back to characters.
std::string Unescape(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            out += text[i];
            continue;
        }
        static constexpr std::pair<std::string_view, char> ENTITIES[] = {
            {"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&quot;", '"'}, {"&apos;", '\''}};
        bool bDone = false;
        for (const auto& [entity, c] : ENTITIES) {
            if (text.substr(i, entity.size()) == entity) {
                out += c;
                i += entity.size() - 1;
                bDone = true;
                break;
            }
        }
        if (!bDone)
            out += '&';
    }
    return out;
}

} // namespace

std::string EvtxDataLines(const std::string& strXml)
{
    std::string lines;
    for (std::size_t pos = strXml.find("<Data"); pos != std::string::npos;
         pos = strXml.find("<Data", pos + 1)) {
        const std::size_t close = strXml.find('>', pos);
        if (close == std::string::npos)
            break;
        // "<DataItem" and the like are other elements.
        if (strXml[pos + 5] != ' ' && strXml[pos + 5] != '>' && strXml[pos + 5] != '/')
            continue;
        std::string name;
        const std::string_view tag(strXml.data() + pos, close - pos);
        if (const std::size_t n = tag.find("Name=\""); n != std::string_view::npos) {
            const std::size_t end = tag.find('"', n + 6);
            name = Unescape(tag.substr(n + 6, end == std::string_view::npos ? 0 : end - n - 6));
        }
        std::string value;
        if (strXml[close - 1] != '/') {
            const std::size_t end = strXml.find("</Data>", close);
            if (end == std::string::npos)
                break;
            value = Unescape(std::string_view(strXml).substr(close + 1, end - close - 1));
        }
        if (!lines.empty())
            lines += '\n';
        if (!name.empty())
            lines.append(name).append(": ");
        lines += value;
    }
    return lines;
}

void EvtxRecordToEvent(const CEvtxRecord& record, const std::string& strXml, CEventStruct& event)
{
    // FILETIME: 100 ns since 1601.
    constexpr std::uint64_t FILETIME_1970 = 116444736000000000ULL;
    const std::int64_t nSeconds =
        record.nWrittenFiletime > FILETIME_1970
            ? static_cast<std::int64_t>((record.nWrittenFiletime - FILETIME_1970) / 10000000)
            : 0;
    event.m_timeGenerated = CTime(nSeconds);
    event.m_timeWritten = event.m_timeGenerated;
    event.m_strSource = record.strProvider;
    event.m_strComputer = record.strComputer;
    event.m_strUser = record.strUserSid.empty() ? EVENT_USER_NONE : record.strUserSid;
    event.m_nEventID = (record.nQualifiers << 16) | (record.nEventID & 0xFFFF);
    event.m_nEventType = EvtxEventType(record.nLevel, strXml);
    event.m_nCategory = 0;
    event.m_nRecordNumber = static_cast<DWORD>(record.nIdentifier);
    event.m_nFieldMask = EVF_ALL;
    event.m_arrStrings = record.arrStrings;
}
