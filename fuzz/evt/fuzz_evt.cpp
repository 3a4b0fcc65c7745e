// Feeds arbitrary bytes to the event log reader as a saved .evt file and
// reads it every way: sequentially and by seeking, forwards and backwards,
// with buffers too small and just large enough, plus the counters and a
// backup. Every record handed out must decode, and a backup of the file must
// read back the same records.
//
// An input whose first byte is even gets a valid header built from its next
// bytes (ring offsets, numbers, flags), so the search reaches the ring walk
// quickly; an odd first byte means the rest is the whole file.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

#include "platform/base/win32error.h"
#include "platform/eventlog/eventlog.h"

namespace {

std::string FileOf(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return {};
    if (data[0] & 1)
        return std::string(reinterpret_cast<const char*>(data + 1), size - 1);
    BYTE fields[20] = {};
    std::memcpy(fields, data + 1, std::min<std::size_t>(20, size - 1));
    CEvtHeader h;
    h.m_dwStartOffset = 0x30 + (GetLe32(fields) & 0xFFC);
    h.m_dwEndOffset = 0x30 + (GetLe32(fields + 4) & 0xFFC);
    h.m_dwCurrentRecordNumber = GetLe32(fields + 8);
    h.m_dwOldestRecordNumber = GetLe32(fields + 12);
    h.m_dwFlags = GetLe32(fields + 16) & 0xF;
    std::string file(ELF_LOGFILE_HEADER_SIZE, '\0');
    EncodeEvtHeader(h, reinterpret_cast<BYTE*>(file.data()));
    if (size > 21)
        file.append(reinterpret_cast<const char*>(data + 21), size - 21);
    return file;
}

// Records of a ReadEventLogA buffer; traps on one that does not decode.
void Check(const std::vector<BYTE>& buffer, DWORD read, std::vector<std::string>* out)
{
    for (DWORD at = 0; at < read;) {
        CEvtEvent event;
        DWORD length = GetLe32(buffer.data() + at);
        if (length == 0 || length > read - at ||
            !DecodeAnsiRecord(buffer.data() + at, read - at, event))
            __builtin_trap();
        if (out)
            out->emplace_back(reinterpret_cast<const char*>(buffer.data() + at), length);
        at += length;
    }
}

std::vector<std::string> ReadSequential(HANDLE log, DWORD direction, DWORD size)
{
    std::vector<std::string> records;
    std::vector<BYTE> buffer(size);
    DWORD read = 0;
    DWORD needed = 0;
    for (int guard = 0; guard < 100000; ++guard) {
        if (ReadEventLogA(log, EVENTLOG_SEQUENTIAL_READ | direction, 0, buffer.data(), size, &read,
                          &needed)) {
            Check(buffer, read, &records);
        } else if (GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
            if (needed <= size)
                __builtin_trap();
            buffer.resize(needed);
            size = needed;
        } else {
            break;
        }
    }
    return records;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static int fd = ::memfd_create("fuzz_evt", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    static const std::string backupPath = "/tmp/fuzz_evt_" + std::to_string(::getpid()) + ".evt";
    std::string file = FileOf(data, size);
    if (::ftruncate(fd, 0) != 0 ||
        ::pwrite(fd, file.data(), file.size(), 0) != static_cast<ssize_t>(file.size()))
        return 0;

    HANDLE log = OpenBackupEventLogA(nullptr, path.c_str());
    if (!log)
        return 0;
    DWORD oldest = 0;
    DWORD count = 0;
    GetOldestEventLogRecord(log, &oldest);
    GetNumberOfEventLogRecords(log, &count);
    std::vector<std::string> forwards = ReadSequential(log, EVENTLOG_FORWARDS_READ, 100000);
    ReadSequential(log, EVENTLOG_BACKWARDS_READ, 64);
    if (forwards.size() > count)
        __builtin_trap();

    std::vector<BYTE> buffer(4096);
    DWORD read = 0;
    DWORD needed = 0;
    const DWORD points[] = {oldest,         oldest + count / 2, oldest + count - 1,
                            oldest + count, oldest - 1,         0};
    for (DWORD record : points) {
        for (DWORD direction : {EVENTLOG_FORWARDS_READ, EVENTLOG_BACKWARDS_READ}) {
            for (DWORD bytes : {DWORD{4096}, DWORD{0x40}, DWORD{0}}) {
                if (ReadEventLogA(log, EVENTLOG_SEEK_READ | direction, record, buffer.data(), bytes,
                                  &read, &needed))
                    Check(buffer, read, nullptr);
            }
        }
    }

    // A backup holds exactly the records that read forwards.
    if (BackupEventLogA(log, backupPath.c_str())) {
        HANDLE copy = OpenBackupEventLogA(nullptr, backupPath.c_str());
        if (!copy)
            __builtin_trap();
        bool numbered =
            forwards.empty() || GetLe32(reinterpret_cast<const BYTE*>(forwards[0].data()) + 8) != 0;
        if (numbered && ReadSequential(copy, EVENTLOG_FORWARDS_READ, 100000) != forwards)
            __builtin_trap();
        CloseEventLog(copy);
        ::unlink(backupPath.c_str());
    }
    CloseEventLog(log);
    return 0;
}
