#pragma once
// The classic event log file format (.evt): the constants shared by its
// reader and writer, the header and end-of-file record codecs, encoding an
// event into an on-disk record (UTF-16LE strings) and converting an on-disk
// record into the 8-bit EVENTLOGRECORD layout that ReadEventLogA returns
// (UTF-8 strings). Every field is encoded byte by byte, little-endian; every
// length and offset read from a file is checked against the bytes at hand.
// Pure functions; any thread.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/win32types.h"

constexpr DWORD ELF_LOG_SIGNATURE = 0x654C664C; // "LfLe"
constexpr DWORD ELF_LOGFILE_HEADER_SIZE = 0x30;
constexpr DWORD ELF_LOGFILE_HEADER_DIRTY = 0x0001;
constexpr DWORD ELF_LOGFILE_HEADER_WRAP = 0x0002;
constexpr DWORD ELF_LOGFILE_LOGFULL_WRITTEN = 0x0004;
constexpr DWORD ELF_LOGFILE_ARCHIVE_SET = 0x0008;
constexpr DWORD ELF_EOF_RECORD_SIZE = 0x28;
constexpr DWORD ELF_EOF_ONE = 0x11111111;
constexpr DWORD ELF_EOF_TWO = 0x22222222;
constexpr DWORD ELF_EOF_THREE = 0x33333333;
constexpr DWORD ELF_EOF_FOUR = 0x44444444;
// The fixed part of a record, which is never split at the end of the file.
constexpr DWORD EVT_RECORD_FIXED_SIZE = 0x38;
// Fixed part, two empty names, closing copy of the length.
constexpr DWORD EVT_MIN_RECORD_SIZE = 0x40;
// Fills the end of the file when the next record's fixed part does not fit.
constexpr DWORD EVT_FILL_DWORD = 0x00000027;
// Files grow in steps of this size up to their maximum size.
constexpr DWORD EVT_GROWTH_STEP = 0x10000;
constexpr DWORD EVT_DEFAULT_MAX_SIZE = 0x80000;
// ReadEventLogA's largest buffer.
constexpr DWORD EVT_MAX_READ_BUFFER = 0x7FFFF;
// An insertion string holds at most this many UTF-16 units.
constexpr std::size_t EVT_MAX_STRING_UNITS = 32767;

inline DWORD GetLe32(const BYTE* p)
{
    return DWORD{p[0]} | DWORD{p[1]} << 8 | DWORD{p[2]} << 16 | DWORD{p[3]} << 24;
}
inline WORD GetLe16(const BYTE* p)
{
    return static_cast<WORD>(p[0] | p[1] << 8);
}
inline void PutLe32(BYTE* p, DWORD v)
{
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
    p[2] = static_cast<BYTE>(v >> 16);
    p[3] = static_cast<BYTE>(v >> 24);
}
inline void PutLe16(BYTE* p, WORD v)
{
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
}

// Field offsets of a record's fixed part (the same in the file and in the
// EVENTLOGRECORD layout).
enum EvtRecordField : DWORD {
    EVT_LENGTH = 0x00,
    EVT_RESERVED = 0x04,
    EVT_RECORD_NUMBER = 0x08,
    EVT_TIME_GENERATED = 0x0C,
    EVT_TIME_WRITTEN = 0x10,
    EVT_EVENT_ID = 0x14,
    EVT_EVENT_TYPE = 0x18,
    EVT_NUM_STRINGS = 0x1A,
    EVT_EVENT_CATEGORY = 0x1C,
    EVT_RESERVED_FLAGS = 0x1E,
    EVT_CLOSING_RECORD_NUMBER = 0x20,
    EVT_STRING_OFFSET = 0x24,
    EVT_USER_SID_LENGTH = 0x28,
    EVT_USER_SID_OFFSET = 0x2C,
    EVT_DATA_LENGTH = 0x30,
    EVT_DATA_OFFSET = 0x34,
};

// The ring's state, as the header and the end-of-file record hold it.
struct CEvtHeader {
    DWORD m_dwStartOffset = ELF_LOGFILE_HEADER_SIZE;
    DWORD m_dwEndOffset = ELF_LOGFILE_HEADER_SIZE;
    DWORD m_dwCurrentRecordNumber = 1;
    DWORD m_dwOldestRecordNumber = 0;
    DWORD m_dwMaxSize = EVT_DEFAULT_MAX_SIZE;
    DWORD m_dwFlags = 0;
    DWORD m_dwRetention = 0;

    // Current - Oldest, 0 for an empty log.
    DWORD GetCount() const
    {
        return m_dwOldestRecordNumber == 0 ? 0 : m_dwCurrentRecordNumber - m_dwOldestRecordNumber;
    }
    bool operator==(const CEvtHeader&) const = default;
};

void EncodeEvtHeader(const CEvtHeader& header, BYTE out[ELF_LOGFILE_HEADER_SIZE]);
// Requires both size fields 0x30, the signature and major version 1.
bool DecodeEvtHeader(const BYTE* in, std::size_t size, CEvtHeader& header);

// The end-of-file record at the header's EndOffset; BeginRecord is the
// StartOffset, or EndOffset itself when the log is empty.
void EncodeEvtEof(const CEvtHeader& header, BYTE out[ELF_EOF_RECORD_SIZE]);
// True when the 40 bytes are an end-of-file record whose EndRecord is `at`;
// fills the four ring values.
bool DecodeEvtEof(const BYTE* in, DWORD at, CEvtHeader& header);

// An event with its strings in 8-bit form (UTF-8).
struct CEvtEvent {
    DWORD m_dwRecordNumber = 0;
    DWORD m_dwTimeGenerated = 0;
    DWORD m_dwTimeWritten = 0;
    DWORD m_dwEventID = 0;
    WORD m_wEventType = 0;
    WORD m_wEventCategory = 0;
    std::string m_strSourceName;
    std::string m_strComputerName;
    std::string m_sid; // binary SID, empty for none
    std::vector<std::string> m_strings;
    std::string m_data;
    bool operator==(const CEvtEvent&) const = default;
};

// The on-disk record (UTF-16LE strings) of an event.
std::string EncodeEvtRecord(const CEvtEvent& event);

// The size of the 8-bit EVENTLOGRECORD of an on-disk record of `length`
// bytes, and the conversion itself, which writes only when the result fits
// in outSize. Damaged inner offsets are clamped: a SID or data block outside
// the record is left out, strings end at the record's end.
DWORD ConvertEvtRecordToAnsi(const BYTE* record, DWORD length, BYTE* out, DWORD outSize);

// Reads one 8-bit EVENTLOGRECORD from a ReadEventLogA buffer of `size`
// bytes; false when the record's length or offsets leave the buffer.
bool DecodeAnsiRecord(const BYTE* record, std::size_t size, CEvtEvent& event);
// Reads one on-disk record (contiguous bytes); false when damaged.
bool DecodeEvtRecord(const BYTE* record, std::size_t size, CEvtEvent& event);

// UTF-8 <-> UTF-16LE as the file keeps strings. A byte that is not part of
// valid UTF-8 is an 8-bit character of code page 1252 (so "caf\xE9" is kept
// as "café"); a lone surrogate read back becomes '?'.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);
