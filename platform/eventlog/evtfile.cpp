#include "platform/eventlog/evtfile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/base/fileio.h"
#include "platform/base/win32error.h"

namespace {

constexpr DWORD HEADER = ELF_LOGFILE_HEADER_SIZE;

bool PreadAll(int fd, void* out, std::size_t n, off_t at)
{
    auto* p = static_cast<BYTE*>(out);
    while (n) {
        ssize_t got = ::pread(fd, p, n, at);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            if (got == 0)
                errno = EIO;
            return false;
        }
        p += got;
        n -= static_cast<std::size_t>(got);
        at += got;
    }
    return true;
}

bool PwriteAll(int fd, const void* data, std::size_t n, off_t at)
{
    const auto* p = static_cast<const BYTE*>(data);
    while (n) {
        ssize_t put = ::pwrite(fd, p, n, at);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        p += put;
        n -= static_cast<std::size_t>(put);
        at += put;
    }
    return true;
}

// Reads and writes a file's ring, wrapping at the file size back to 0x30.
struct CRingIo {
    int m_fd;
    DWORD m_dwSize;

    bool Read(DWORD pos, BYTE* out, DWORD count) const
    {
        DWORD first = std::min(count, m_dwSize - pos);
        return PreadAll(m_fd, out, first, pos) &&
               (first == count || PreadAll(m_fd, out + first, count - first, HEADER));
    }
    bool Write(DWORD pos, const BYTE* data, DWORD count) const
    {
        DWORD first = std::min(count, m_dwSize - pos);
        return PwriteAll(m_fd, data, first, pos) &&
               (first == count || PwriteAll(m_fd, data + first, count - first, HEADER));
    }
    DWORD Advance(DWORD pos, DWORD count) const
    {
        QWORD next = QWORD{pos} + count;
        return next >= m_dwSize ? static_cast<DWORD>(next - m_dwSize + HEADER)
                                : static_cast<DWORD>(next);
    }
};

// Writes bytes to a new file beside target, then links it in place: the
// target appears whole, and only when it did not exist.
bool WriteNewFile(const std::string& target, const std::string& bytes, mode_t mode)
{
    std::string temp = target + ".tmp.XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        SetLastErrorFromErrno();
        return false;
    }
    bool ok = ::fchmod(fd, mode) == 0 && PwriteAll(fd, bytes.data(), bytes.size(), 0);
    if (!ok)
        SetLastErrorFromErrno();
    ::close(fd);
    if (ok && ::link(temp.c_str(), target.c_str()) != 0) {
        SetLastErrorFromErrno();
        ok = false;
    }
    ::unlink(temp.c_str());
    return ok;
}

bool Exists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

long long MtimeNs(const struct stat& st)
{
    return static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
}

// Finds room for a record of `length` bytes and its end-of-file record:
// grows the file while the ring is unwrapped and below its limit, else
// discards the oldest records as retention allows (in h only). Gives the
// offset to write at and whether the end of the file is to be filled first.
DWORD FindRoom(int fd, CEvtHeader& h, DWORD& size, DWORD limit, DWORD length, DWORD timeWritten,
               DWORD retention, DWORD& at, bool& fill, DWORD& damageAt)
{
    const QWORD need = QWORD{length} + ELF_EOF_RECORD_SIZE;
    if (need + HEADER > limit)
        return ERROR_LOG_FILE_FULL;
    while (true) {
        // An empty ring starts over at the beginning.
        if (h.GetCount() == 0)
            h.m_dwStartOffset = h.m_dwEndOffset = HEADER;
        CRingIo ring{fd, size};
        DWORD s = h.m_dwStartOffset;
        DWORD e = h.m_dwEndOffset;
        QWORD room = 0;
        fill = false;
        if (s <= e) {
            if (e + need <= size) {
                at = e;
                return ERROR_SUCCESS;
            }
            if (size < limit) {
                auto grown = static_cast<DWORD>(
                    std::min<QWORD>(limit, (QWORD{e} + need + EVT_GROWTH_STEP - 1) /
                                               EVT_GROWTH_STEP * EVT_GROWTH_STEP));
                if (::ftruncate(fd, grown) != 0)
                    return SetLastErrorFromErrno();
                size = grown;
                continue;
            }
            fill = size - e < EVT_RECORD_FIXED_SIZE;
            room = fill ? s - HEADER : QWORD{size - e} + (s - HEADER);
        } else {
            room = s - e;
        }
        if (room >= need) {
            at = fill ? HEADER : e;
            return ERROR_SUCCESS;
        }
        BYTE oldest[EVT_EVENT_ID];
        if (!ring.Read(s, oldest, sizeof oldest))
            return SetLastErrorFromErrno();
        DWORD oldLength = GetLe32(oldest + EVT_LENGTH);
        BYTE closing[4] = {};
        // Only an intact oldest record is discarded: the ring is not moved
        // over damage.
        if (oldLength < EVT_MIN_RECORD_SIZE || oldLength % 4 || oldLength > size - HEADER ||
            GetLe32(oldest + EVT_RESERVED) != ELF_LOG_SIGNATURE ||
            !ring.Read(ring.Advance(s, oldLength - 4), closing, 4) ||
            GetLe32(closing) != oldLength) {
            damageAt = s;
            return ERROR_EVENTLOG_FILE_CORRUPT;
        }
        DWORD oldWritten = GetLe32(oldest + EVT_TIME_WRITTEN);
        bool expired = retention == 0 || (retention != 0xFFFFFFFF && timeWritten >= oldWritten &&
                                          timeWritten - oldWritten >= retention);
        if (!expired) {
            h.m_dwFlags |= ELF_LOGFILE_LOGFULL_WRITTEN;
            return ERROR_LOG_FILE_FULL;
        }
        s = ring.Advance(s, oldLength);
        ++h.m_dwOldestRecordNumber;
        if (s == e) {
            h.m_dwOldestRecordNumber = 0;
        } else if (size - s < EVT_RECORD_FIXED_SIZE) {
            s = HEADER;
        } else {
            BYTE next[4];
            if (!ring.Read(s, next, 4))
                return SetLastErrorFromErrno();
            if (GetLe32(next) == EVT_FILL_DWORD)
                s = HEADER;
        }
        if (s != e && h.m_dwOldestRecordNumber != 0) {
            // A repaired log may miss numbers: the oldest is the number of
            // the record that is now first.
            BYTE next[EVT_TIME_GENERATED];
            if (!ring.Read(s, next, sizeof next))
                return SetLastErrorFromErrno();
            DWORD number = GetLe32(next + EVT_RECORD_NUMBER);
            if (GetLe32(next + EVT_RESERVED) == ELF_LOG_SIGNATURE &&
                number - h.m_dwOldestRecordNumber <
                    h.m_dwCurrentRecordNumber - h.m_dwOldestRecordNumber)
                h.m_dwOldestRecordNumber = number;
        }
        h.m_dwStartOffset = s;
    }
}

// Writes a record where FindRoom placed it and moves the ring on.
DWORD WriteRecord(int fd, CEvtHeader& h, DWORD size, DWORD at, bool fill, const std::string& record)
{
    CRingIo ring{fd, size};
    auto length = static_cast<DWORD>(record.size());
    if (fill) {
        std::vector<BYTE> pattern(size - h.m_dwEndOffset);
        for (std::size_t i = 0; i + 4 <= pattern.size(); i += 4)
            PutLe32(pattern.data() + i, EVT_FILL_DWORD);
        if (!PwriteAll(fd, pattern.data(), pattern.size(), h.m_dwEndOffset))
            return SetLastErrorFromErrno();
    }
    if (!ring.Write(at, reinterpret_cast<const BYTE*>(record.data()), length))
        return SetLastErrorFromErrno();
    if (fill || QWORD{at} + length >= size)
        h.m_dwFlags |= ELF_LOGFILE_HEADER_WRAP;
    if (h.GetCount() == 0) {
        h.m_dwStartOffset = at;
        h.m_dwOldestRecordNumber = h.m_dwCurrentRecordNumber;
    }
    ++h.m_dwCurrentRecordNumber;
    h.m_dwEndOffset = ring.Advance(at, length);
    h.m_dwFlags &= ~ELF_LOGFILE_LOGFULL_WRITTEN;
    return ERROR_SUCCESS;
}

} // namespace

// ---- CEvtSnapshot ----------------------------------------------------------

DWORD CEvtSnapshot::RingDword(DWORD pos) const
{
    BYTE b[4];
    RingCopy(pos, 4, b);
    return GetLe32(b);
}

void CEvtSnapshot::RingCopy(DWORD pos, DWORD count, BYTE* out) const
{
    DWORD first = std::min(count, m_nSize - pos);
    std::memcpy(out, m_pData + pos, first);
    std::memcpy(out + first, m_pData + HEADER, count - first);
}

DWORD CEvtSnapshot::RingAdvance(DWORD pos, DWORD count) const
{
    return CRingIo{-1, m_nSize}.Advance(pos, count);
}

DWORD CEvtSnapshot::RingDistance(DWORD from, DWORD to) const
{
    return to >= from ? to - from : (m_nSize - from) + (to - HEADER);
}

bool CEvtSnapshot::FindEof(DWORD from, bool exact, CEvtHeader& header) const
{
    DWORD pos = from;
    for (DWORD step = 0; step < (m_nSize - HEADER) / (exact ? 4 : 1); ++step) {
        if (RingDword(pos) == ELF_EOF_RECORD_SIZE &&
            RingDword(RingAdvance(pos, 4)) == ELF_EOF_ONE) {
            BYTE eof[ELF_EOF_RECORD_SIZE];
            RingCopy(pos, ELF_EOF_RECORD_SIZE, eof);
            // A record that moved (bytes inserted or removed before it) still
            // names the offset it was written at.
            if (DecodeEvtEof(eof, exact ? pos : GetLe32(eof + 0x18), header)) {
                header.m_dwEndOffset = pos;
                return true;
            }
        }
        // A writer puts it on a DWORD boundary; bytes inserted or removed
        // before it may have moved it off one.
        pos = RingAdvance(pos, exact ? 4 : 1);
        if (pos + 4 > m_nSize)
            pos = HEADER;
    }
    return false;
}

std::unique_ptr<CEvtSnapshot> CEvtSnapshot::Build(const BYTE* data, std::size_t size, DWORD& error)
{
    error = ERROR_EVENTLOG_FILE_CORRUPT;
    CEvtHeader header;
    if (size < HEADER + ELF_EOF_RECORD_SIZE || size > 0xFFFFFFF0u ||
        !DecodeEvtHeader(data, size, header))
        return nullptr;
    std::unique_ptr<CEvtSnapshot> snap(new CEvtSnapshot);
    snap->m_pData = data;
    snap->m_nSize = static_cast<DWORD>(size);
    auto inRange = [&](DWORD offset) {
        return offset >= HEADER && offset < size && offset % 4 == 0;
    };
    // Where the fill at the end of the file starts: every DWORD from there
    // on is the fill pattern.
    snap->m_dwFillStart = static_cast<DWORD>(HEADER + (size - HEADER) / 4 * 4);
    while (snap->m_dwFillStart > HEADER &&
           GetLe32(data + snap->m_dwFillStart - 4) == EVT_FILL_DWORD)
        snap->m_dwFillStart -= 4;

    // The end-of-file record is authoritative; a clean header names it.
    const bool dirty = header.m_dwFlags & ELF_LOGFILE_HEADER_DIRTY;
    const DWORD from = inRange(header.m_dwEndOffset) ? header.m_dwEndOffset : HEADER;
    CEvtHeader ring = header;
    bool found = false;
    DWORD eofMoved = 0;
    if (!dirty && inRange(header.m_dwEndOffset)) {
        BYTE eof[ELF_EOF_RECORD_SIZE];
        snap->RingCopy(header.m_dwEndOffset, ELF_EOF_RECORD_SIZE, eof);
        found = DecodeEvtEof(eof, header.m_dwEndOffset, ring);
    }
    if (!found)
        found = snap->FindEof(from, true, ring);
    if (!found && !dirty && snap->FindEof(from, false, ring)) {
        // A clean file whose end-of-file record is not where it says it
        // was written: bytes before it were inserted or removed.
        found = true;
        eofMoved = ring.m_dwEndOffset;
    }
    if (!found) {
        // No end-of-file record: take the records from the header's start.
        // A writer that died (dirty header) leaves its torn record at the
        // end; without one, the missing record is damage.
        ring = header;
        ring.m_dwEndOffset = 0;
    }
    auto walkWith = [&](const CEvtHeader& values) -> std::unique_ptr<CEvtSnapshot> {
        if (!inRange(values.m_dwStartOffset) ||
            (found && !inRange(values.m_dwEndOffset) && !(eofMoved && values.m_dwEndOffset < size)))
            return nullptr;
        std::unique_ptr<CEvtSnapshot> walked(new CEvtSnapshot);
        walked->m_pData = data;
        walked->m_nSize = snap->m_nSize;
        walked->m_dwFillStart = snap->m_dwFillStart;
        walked->m_header = values;
        walked->Walk(!found);
        // The first damaged record says most; else where the end went.
        if (walked->m_dwDamageOffset == 0)
            walked->m_dwDamageOffset = eofMoved;
        if (!found && !dirty && walked->m_dwDamageOffset == 0)
            walked->m_dwDamageOffset = walked->m_header.m_dwEndOffset;
        return walked;
    };
    std::unique_ptr<CEvtSnapshot> best = walkWith(ring);
    // A clean header and its end-of-file record that disagree: one of them
    // is damaged. The one that finds more records wins.
    const bool disagree = !dirty && found &&
                          (ring.m_dwStartOffset != header.m_dwStartOffset ||
                           ring.m_dwCurrentRecordNumber != header.m_dwCurrentRecordNumber ||
                           ring.m_dwOldestRecordNumber != header.m_dwOldestRecordNumber);
    if (disagree || !best) {
        CEvtHeader values = header;
        values.m_dwEndOffset = found ? ring.m_dwEndOffset : 0;
        std::unique_ptr<CEvtSnapshot> other = walkWith(values);
        if (other && (!best || other->GetIndexedCount() > best->GetIndexedCount()))
            best = std::move(other);
        if (best && disagree && best->m_dwDamageOffset == 0)
            best->m_dwDamageOffset = ring.m_dwEndOffset;
    }
    if (best)
        error = ERROR_SUCCESS;
    return best;
}

bool CEvtSnapshot::IsFill(DWORD pos) const
{
    return m_nSize - pos < EVT_RECORD_FIXED_SIZE || pos >= m_dwFillStart;
}

bool CEvtSnapshot::CheckRecord(DWORD pos, QWORD room, DWORD& length, DWORD& number) const
{
    const BYTE* r = m_pData + pos;
    if (GetLe32(r + EVT_RESERVED) != ELF_LOG_SIGNATURE)
        return false;
    length = GetLe32(r + EVT_LENGTH);
    if (length < EVT_MIN_RECORD_SIZE || length % 4 || length > room || length > m_nSize - HEADER ||
        RingDword(RingAdvance(pos, length - 4)) != length)
        return false;
    number = GetLe32(r + EVT_RECORD_NUMBER);
    return true;
}

bool CEvtSnapshot::TakeBackOverlapped(QWORD recordWalked, DWORD length, QWORD total, QWORD relLimit)
{
    const DWORD start = m_offsets.back();
    const DWORD rel = m_rels.back();
    const DWORD oldest = m_header.m_dwOldestRecordNumber;
    for (DWORD skip = 1; skip < length; ++skip) {
        const DWORD q = RingAdvance(start, skip);
        if (IsFill(q))
            continue;
        DWORD innerLength = 0;
        DWORD number = 0;
        if (CheckRecord(q, total - recordWalked - skip, innerLength, number) &&
            static_cast<DWORD>(number - oldest) > rel &&
            static_cast<DWORD>(number - oldest) < relLimit) {
            m_dwOverlapAt = q;
            return true;
        }
    }
    return false;
}

void CEvtSnapshot::Walk(bool openEnd)
{
    CEvtHeader& h = m_header;
    const DWORD oldest = h.m_dwOldestRecordNumber;
    if (oldest == 0) {
        // An empty log; without an end-of-file record, its end is its start.
        if (openEnd)
            h.m_dwEndOffset = h.m_dwStartOffset;
        return;
    }
    const QWORD total =
        openEnd ? m_nSize - HEADER : RingDistance(h.m_dwStartOffset, h.m_dwEndOffset);
    // Numbers are kept less the oldest; they only go up along the ring.
    const QWORD relLimit = openEnd ? 0x80000000u : h.GetCount();
    m_offsets.reserve(std::min<QWORD>(total / EVT_MIN_RECORD_SIZE, 1u << 20));
    m_rels.reserve(m_offsets.capacity());
    DWORD pos = h.m_dwStartOffset;
    DWORD end = pos;
    QWORD walked = 0;
    long long prev = -1;
    QWORD lastWalked = 0; // where the last intact record started
    DWORD lastLength = 0;
    bool inGap = false;
    QWORD gapStart = 0;
    CEvtGap gap;
    auto skipFill = [&](DWORD at, QWORD& done) {
        if (done < total && IsFill(at)) {
            done += m_nSize - at;
            at = HEADER;
        }
        return at;
    };
    while (walked < total) {
        if (IsFill(pos)) {
            pos = skipFill(pos, walked);
            continue;
        }
        DWORD length = 0;
        DWORD number = 0;
        if (CheckRecord(pos, total - walked, length, number)) {
            const QWORD rel = static_cast<DWORD>(number - oldest);
            bool fits = static_cast<long long>(rel) > prev && rel < relLimit;
            if (fits && !inGap && static_cast<long long>(rel) != prev + 1) {
                // A number out of turn right after an intact record (or at
                // the start) is a gap a repair left when the record after
                // it goes on upwards (or there is none); otherwise the
                // number itself is damaged.
                QWORD done = walked + length;
                DWORD next = skipFill(RingAdvance(pos, length), done);
                DWORD nextLength = 0;
                DWORD nextNumber = 0;
                if (done < total)
                    fits = CheckRecord(next, total - done, nextLength, nextNumber) &&
                           static_cast<DWORD>(nextNumber - oldest) > rel &&
                           static_cast<DWORD>(nextNumber - oldest) < relLimit;
                if (fits)
                    m_gaps.push_back(
                        {pos, 0, prev < 0 ? 0 : oldest + static_cast<DWORD>(prev), number});
            }
            if (fits) {
                if (inGap) {
                    gap.m_dwBytes = static_cast<DWORD>(walked - gapStart);
                    gap.m_dwAfter = number;
                    m_gaps.push_back(gap);
                    if (m_dwDamageOffset == 0)
                        m_dwDamageOffset = gap.m_dwOffset;
                    inGap = false;
                }
                m_offsets.push_back(pos);
                m_rels.push_back(static_cast<DWORD>(rel));
                prev = static_cast<long long>(rel);
                lastWalked = walked;
                lastLength = length;
                pos = RingAdvance(pos, length);
                walked += length;
                end = pos;
                continue;
            }
        }
        if (!inGap && !m_offsets.empty() && walked == lastWalked + lastLength &&
            TakeBackOverlapped(lastWalked, lastLength, total, relLimit)) {
            // The last record only looked whole: bytes removed from it left
            // the next record's length where its closing copy was. The gap
            // starts at it, and the walk goes on inside it.
            const DWORD inner = m_dwOverlapAt;
            const DWORD start = m_offsets.back();
            m_offsets.pop_back();
            m_rels.pop_back();
            if (!m_gaps.empty() && m_gaps.back().m_dwOffset == start &&
                m_gaps.back().m_dwBytes == 0)
                m_gaps.pop_back();
            prev = m_rels.empty() ? -1 : static_cast<long long>(m_rels.back());
            inGap = true;
            gapStart = lastWalked;
            gap = {start, 0, prev < 0 ? 0 : oldest + static_cast<DWORD>(prev), 0};
            walked = lastWalked + RingDistance(start, inner);
            pos = inner;
            end = start;
            continue;
        }
        if (!inGap) {
            inGap = true;
            gapStart = walked;
            gap = {pos, 0, prev < 0 ? 0 : oldest + static_cast<DWORD>(prev), 0};
        }
        // Byte by byte: bytes inserted or removed shift the records after
        // them off their DWORD boundaries.
        pos = RingAdvance(pos, 1);
        walked += 1;
    }
    // What follows the last intact record up to the end. Without an
    // end-of-file record that is the end of the ring: damage only when no
    // writer died while writing (a clean header).
    const bool openTail = openEnd && (h.m_dwFlags & ELF_LOGFILE_HEADER_DIRTY);
    if (inGap && !openTail) {
        gap.m_dwBytes = static_cast<DWORD>(std::min(walked, total) - gapStart);
        m_gaps.push_back(gap);
        if (m_dwDamageOffset == 0)
            m_dwDamageOffset = gap.m_dwOffset;
    }
    if (openEnd) {
        h.m_dwEndOffset = end;
        h.m_dwCurrentRecordNumber = m_rels.empty() ? oldest : oldest + m_rels.back() + 1;
        if (m_offsets.empty())
            h.m_dwOldestRecordNumber = 0;
    }
}

CEvtHeader CEvtSnapshot::GetWritableHeader() const
{
    CEvtHeader h = m_header;
    h.m_dwFlags &= ~ELF_LOGFILE_HEADER_DIRTY;
    // The next number follows the newest intact record at least.
    if (!m_rels.empty() &&
        static_cast<DWORD>(h.m_dwCurrentRecordNumber - h.m_dwOldestRecordNumber) <= m_rels.back())
        h.m_dwCurrentRecordNumber = GetNumberAt(GetIndexedCount() - 1) + 1;
    return h;
}

const BYTE* CEvtSnapshot::GetRecordAt(DWORD index, DWORD& length, std::string& scratch) const
{
    if (index >= m_offsets.size())
        return nullptr;
    DWORD pos = m_offsets[index];
    length = GetLe32(m_pData + pos);
    if (QWORD{pos} + length <= m_nSize)
        return m_pData + pos;
    scratch.resize(length);
    RingCopy(pos, length, reinterpret_cast<BYTE*>(scratch.data()));
    return reinterpret_cast<const BYTE*>(scratch.data());
}

DWORD CEvtSnapshot::FindIndex(DWORD number, bool forwards) const
{
    const DWORD rel = number - m_header.m_dwOldestRecordNumber;
    const auto count = static_cast<DWORD>(m_rels.size());
    // Most logs have no gaps: the index is the number less the oldest.
    DWORD index = 0;
    if (rel < count && m_rels[rel] == rel)
        index = rel;
    else
        index = static_cast<DWORD>(std::lower_bound(m_rels.begin(), m_rels.end(), rel) -
                                   m_rels.begin());
    if (forwards)
        return index;
    if (index < count && m_rels[index] == rel)
        return index;
    return index == 0 ? count : index - 1;
}

const BYTE* CEvtSnapshot::GetRecord(DWORD number, DWORD& length, std::string& scratch) const
{
    if (m_header.m_dwOldestRecordNumber == 0)
        return nullptr;
    DWORD index = FindIndex(number, true);
    if (index >= m_rels.size() || GetNumberAt(index) != number)
        return nullptr;
    return GetRecordAt(index, length, scratch);
}

std::vector<std::string> CEvtSnapshot::CopyRecords() const
{
    std::vector<std::string> records;
    std::string scratch;
    for (DWORD i = 0; i < GetIndexedCount(); ++i) {
        DWORD length = 0;
        const BYTE* r = GetRecordAt(i, length, scratch);
        records.emplace_back(reinterpret_cast<const char*>(r), length);
    }
    return records;
}

// ---- file images -----------------------------------------------------------

DWORD RoundEvtMaxSize(DWORD maxSize)
{
    QWORD rounded = (QWORD{maxSize} + EVT_GROWTH_STEP - 1) / EVT_GROWTH_STEP * EVT_GROWTH_STEP;
    return static_cast<DWORD>(std::clamp<QWORD>(rounded, EVT_GROWTH_STEP, 0xFFFF0000u));
}

std::string ComposeEvtFile(std::span<const std::string> records, DWORD nextRecordNumber,
                           DWORD maxSize, DWORD retention)
{
    std::string body;
    for (const std::string& record : records)
        body += record;
    CEvtHeader h;
    h.m_dwStartOffset = HEADER;
    h.m_dwEndOffset = static_cast<DWORD>(HEADER + body.size());
    h.m_dwCurrentRecordNumber = nextRecordNumber;
    h.m_dwOldestRecordNumber =
        records.empty()
            ? 0
            : GetLe32(reinterpret_cast<const BYTE*>(records.front().data()) + EVT_RECORD_NUMBER);
    DWORD size = RoundEvtMaxSize(static_cast<DWORD>(HEADER + body.size() + ELF_EOF_RECORD_SIZE));
    h.m_dwMaxSize = std::max(size, maxSize);
    h.m_dwRetention = retention;
    std::string image(size, '\0');
    auto* p = reinterpret_cast<BYTE*>(image.data());
    EncodeEvtHeader(h, p);
    std::memcpy(p + HEADER, body.data(), body.size());
    EncodeEvtEof(h, p + h.m_dwEndOffset);
    return image;
}

bool CreateEvtFile(const std::string& path, DWORD maxSize, DWORD retention, mode_t mode)
{
    if (Exists(path))
        return true;
    if (!EnsureDirectory(DirectoryOf(path)))
        return false;
    std::string image = ComposeEvtFile({}, 1, RoundEvtMaxSize(maxSize), retention);
    if (WriteNewFile(path, image, mode) || GetLastError() == ERROR_ALREADY_EXISTS)
        return true;
    return false;
}

// ---- CEvtFile --------------------------------------------------------------

struct CEvtFile::CMapping {
    void* m_p = MAP_FAILED;
    std::size_t m_n = 0;
    ~CMapping()
    {
        if (m_p != MAP_FAILED)
            ::munmap(m_p, m_n);
    }
    const BYTE* Data() const { return static_cast<const BYTE*>(m_p); }
};

// The file's flock for one operation, following a replacement of the file.
class CEvtFile::CLock {
public:
    CLock(CEvtFile& file, bool exclusive) : m_file(file)
    {
        for (int attempt = 0; attempt < 1000 && !m_bLocked; ++attempt) {
            if (::flock(file.m_fd, exclusive ? LOCK_EX : LOCK_SH) != 0) {
                if (errno == EINTR)
                    continue;
                SetLastErrorFromErrno();
                return;
            }
            if (file.m_mode == Mode::BACKUP)
                m_bLocked = true;
            else if (!file.FollowReplacement(m_bReplaced, m_bLocked))
                return;
        }
    }
    ~CLock()
    {
        if (m_bLocked)
            ::flock(m_file.m_fd, LOCK_UN);
    }
    CLock(const CLock&) = delete;
    CLock& operator=(const CLock&) = delete;
    bool IsLocked() const { return m_bLocked; }
    bool WasReplaced() const { return m_bReplaced; }

private:
    CEvtFile& m_file;
    bool m_bLocked = false;
    bool m_bReplaced = false;
};

CEvtFile::~CEvtFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool CEvtFile::Open(const std::string& path, Mode mode)
{
    m_strPath = path;
    m_mode = mode;
    m_bWritable = mode == Mode::SERVICE;
    return Reopen();
}

bool CEvtFile::Reopen()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_snapshot.reset();
    m_mapping.reset();
    m_fd = m_bWritable ? ::open(m_strPath.c_str(), O_RDWR | O_CLOEXEC) : -1;
    if (m_fd < 0 && (!m_bWritable || errno == EACCES || errno == EROFS || errno == EPERM)) {
        m_bWritable = false;
        m_fd = ::open(m_strPath.c_str(), O_RDONLY | O_CLOEXEC);
    }
    if (m_fd < 0) {
        SetLastErrorFromErrno();
        return false;
    }
    struct stat st {};
    if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        ::close(m_fd);
        m_fd = -1;
        return false;
    }
    return true;
}

bool CEvtFile::FollowReplacement(bool& replaced, bool& locked)
{
    struct stat mine {};
    struct stat current {};
    if (::fstat(m_fd, &mine) == 0 && ::stat(m_strPath.c_str(), &current) == 0 &&
        mine.st_ino == current.st_ino && mine.st_dev == current.st_dev) {
        locked = true;
        return true;
    }
    ::flock(m_fd, LOCK_UN);
    replaced = true;
    return Reopen();
}

DWORD CEvtFile::Refresh()
{
    struct stat st {};
    if (::fstat(m_fd, &st) != 0)
        return SetLastErrorFromErrno();
    auto size = static_cast<std::size_t>(st.st_size);
    if (m_snapshot && m_mapping && m_mapping->m_n == size && MtimeNs(st) == m_cachedMtimeNs &&
        std::memcmp(m_mapping->Data(), m_cachedHeader, HEADER) == 0)
        return ERROR_SUCCESS;
    m_snapshot.reset();
    if (!m_mapping || m_mapping->m_n != size) {
        m_mapping.reset();
        if (size < HEADER + ELF_EOF_RECORD_SIZE || size > 0xFFFFFFF0u)
            return ERROR_EVENTLOG_FILE_CORRUPT;
        auto mapping = std::make_shared<CMapping>();
        // Populated at once: the index walk that follows touches every page.
        mapping->m_p = ::mmap(nullptr, size, PROT_READ, MAP_SHARED | MAP_POPULATE, m_fd, 0);
        if (mapping->m_p == MAP_FAILED)
            return SetLastErrorFromErrno();
        mapping->m_n = size;
        m_mapping = std::move(mapping);
    }
    std::memcpy(m_cachedHeader, m_mapping->Data(), HEADER);
    m_cachedMtimeNs = MtimeNs(st);
    DWORD error = ERROR_SUCCESS;
    m_snapshot = CEvtSnapshot::Build(m_mapping->Data(), size, error);
    return error;
}

std::uint64_t CEvtFile::GetIdentity() const
{
    struct stat st {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0)
        return 0;
    return (static_cast<std::uint64_t>(st.st_dev) << 40) ^ static_cast<std::uint64_t>(st.st_ino);
}

DWORD CEvtFile::Read(const ReadFn& fn)
{
    CLock lock(*this, false);
    if (!lock.IsLocked())
        return GetLastError();
    if (lock.WasReplaced())
        return ERROR_EVENTLOG_FILE_CHANGED;
    DWORD error = Refresh();
    if (error == ERROR_SUCCESS)
        fn(*m_snapshot);
    return error;
}

bool CEvtFile::LoadWriteState(CEvtHeader& header, DWORD& fileSize, DWORD* damageOffset)
{
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) {
        SetLastErrorFromErrno();
        return false;
    }
    if (st.st_size < HEADER + ELF_EOF_RECORD_SIZE || st.st_size > 0xFFFFFFF0) {
        SetLastError(ERROR_EVENTLOG_FILE_CORRUPT);
        return false;
    }
    fileSize = static_cast<DWORD>(st.st_size);
    BYTE bytes[HEADER];
    if (!PreadAll(m_fd, bytes, HEADER, 0)) {
        SetLastErrorFromErrno();
        return false;
    }
    if (!DecodeEvtHeader(bytes, HEADER, header)) {
        SetLastError(ERROR_EVENTLOG_FILE_CORRUPT);
        return false;
    }
    // A clean header whose end-of-file record agrees is all a writer needs.
    DWORD end = header.m_dwEndOffset;
    if (!(header.m_dwFlags & ELF_LOGFILE_HEADER_DIRTY) && end >= HEADER && end < fileSize &&
        end % 4 == 0 && header.m_dwStartOffset >= HEADER && header.m_dwStartOffset < fileSize &&
        header.m_dwStartOffset % 4 == 0) {
        BYTE eof[ELF_EOF_RECORD_SIZE];
        CEvtHeader fromEof = header;
        if (CRingIo{m_fd, fileSize}.Read(end, eof, ELF_EOF_RECORD_SIZE) &&
            DecodeEvtEof(eof, end, fromEof) && fromEof == header)
            return true;
    }
    // Otherwise walk the file: a writer that died is taken over after its
    // last whole record; a damaged log is not written to.
    DWORD error = Refresh();
    if (error == ERROR_SUCCESS && m_snapshot->IsDamaged()) {
        if (damageOffset)
            *damageOffset = m_snapshot->GetDamageOffset();
        error = ERROR_EVENTLOG_FILE_CORRUPT;
    }
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return false;
    }
    header = m_snapshot->GetWritableHeader();
    return true;
}

bool CEvtFile::Append(std::span<const CEvtEvent> events, DWORD retention, std::size_t* written,
                      DWORD* damageOffset)
{
    if (written)
        *written = 0;
    DWORD damageAt = 0;
    if (!damageOffset)
        damageOffset = &damageAt;
    *damageOffset = 0;
    if (!m_bWritable) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    CLock lock(*this, true);
    if (!lock.IsLocked())
        return false;
    CEvtHeader h;
    DWORD size = 0;
    if (!LoadWriteState(h, size, damageOffset))
        return false;
    // Mark the header dirty while records and end-of-file record move, so a
    // crash in between sends readers to the end-of-file record.
    BYTE flags[4];
    PutLe32(flags, h.m_dwFlags | ELF_LOGFILE_HEADER_DIRTY);
    if (!PwriteAll(m_fd, flags, 4, 0x24)) {
        SetLastErrorFromErrno();
        return false;
    }
    const DWORD limit = std::max(RoundEvtMaxSize(h.m_dwMaxSize), size);
    DWORD error = ERROR_SUCCESS;
    std::size_t stored = 0;
    for (const CEvtEvent& event : events) {
        CEvtEvent numbered = event;
        numbered.m_dwRecordNumber = h.m_dwCurrentRecordNumber;
        std::string record = EncodeEvtRecord(numbered);
        auto length = static_cast<DWORD>(record.size());
        // A dropped event leaves the ring as it was (but for the full flag).
        const CEvtHeader before = h;
        DWORD at = 0;
        bool fill = false;
        error = FindRoom(m_fd, h, size, limit, length, numbered.m_dwTimeWritten, retention, at,
                         fill, *damageOffset);
        if (error == ERROR_SUCCESS)
            error = WriteRecord(m_fd, h, size, at, fill, record);
        if (error != ERROR_SUCCESS) {
            DWORD full = h.m_dwFlags & ELF_LOGFILE_LOGFULL_WRITTEN;
            h = before;
            h.m_dwFlags |= full;
            break;
        }
        ++stored;
    }
    if (written)
        *written = stored;

    // The end-of-file record, then the clean header.
    h.m_dwRetention = retention;
    h.m_dwFlags &= ~ELF_LOGFILE_HEADER_DIRTY;
    BYTE eof[ELF_EOF_RECORD_SIZE];
    EncodeEvtEof(h, eof);
    BYTE header[HEADER];
    EncodeEvtHeader(h, header);
    if (!CRingIo{m_fd, size}.Write(h.m_dwEndOffset, eof, ELF_EOF_RECORD_SIZE) ||
        !PwriteAll(m_fd, header, HEADER, 0)) {
        SetLastErrorFromErrno();
        return false;
    }
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return false;
    }
    return true;
}

bool CEvtFile::Clear(DWORD maxSize, DWORD retention)
{
    if (!m_bWritable) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    {
        CLock lock(*this, true);
        if (!lock.IsLocked())
            return false;
        struct stat st {};
        if (::fstat(m_fd, &st) != 0) {
            SetLastErrorFromErrno();
            return false;
        }
        std::string image = ComposeEvtFile({}, 1, RoundEvtMaxSize(maxSize), retention);
        std::string temp = m_strPath + ".tmp.XXXXXX";
        int fd = ::mkstemp(temp.data());
        if (fd < 0) {
            SetLastErrorFromErrno();
            return false;
        }
        bool ok = ::fchmod(fd, st.st_mode & 07777) == 0 &&
                  PwriteAll(fd, image.data(), image.size(), 0) && ::fsync(fd) == 0;
        ::close(fd);
        ok = ok && ::rename(temp.c_str(), m_strPath.c_str()) == 0;
        if (!ok) {
            SetLastErrorFromErrno();
            ::unlink(temp.c_str());
            return false;
        }
    }
    return Reopen();
}

bool CEvtFile::Backup(const std::string& target)
{
    if (Exists(target)) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return false;
    }
    std::string image;
    // A backup is read by those who may read the log: it keeps its mode.
    mode_t mode = 0644;
    auto compose = [&](const CEvtSnapshot& snap) {
        struct stat st {};
        if (::fstat(m_fd, &st) == 0)
            mode = st.st_mode & 0666;
        CEvtHeader h = snap.GetWritableHeader();
        image = ComposeEvtFile(snap.CopyRecords(), h.m_dwCurrentRecordNumber, 0, h.m_dwRetention);
    };
    DWORD error = Read(compose);
    if (error == ERROR_EVENTLOG_FILE_CHANGED)
        error = Read(compose);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return false;
    }
    return WriteNewFile(target, image, mode);
}

bool CEvtFile::Repair(const std::string& backup, bool* repaired)
{
    *repaired = false;
    if (!m_bWritable) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    CLock lock(*this, true);
    if (!lock.IsLocked())
        return false;
    DWORD error = Refresh();
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return false;
    }
    if (!m_snapshot->IsDamaged())
        return true;
    if (Exists(backup)) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return false;
    }
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) {
        SetLastErrorFromErrno();
        return false;
    }
    std::string damaged(reinterpret_cast<const char*>(m_mapping->Data()), m_mapping->m_n);
    if (!WriteNewFile(backup, damaged, st.st_mode & 07777))
        return false;
    const CEvtHeader h = m_snapshot->GetWritableHeader();
    std::string image = ComposeEvtFile(m_snapshot->CopyRecords(), h.m_dwCurrentRecordNumber,
                                       RoundEvtMaxSize(h.m_dwMaxSize), h.m_dwRetention);
    // The mapping goes before the file shrinks; the records are copied.
    m_snapshot.reset();
    m_mapping.reset();
    // Records and end-of-file record first, the header last: until then a
    // reader sees the old header, and the backup keeps every byte there was.
    const auto* p = reinterpret_cast<const BYTE*>(image.data());
    if (!PwriteAll(m_fd, p + HEADER, image.size() - HEADER, HEADER) ||
        ::ftruncate(m_fd, static_cast<off_t>(image.size())) != 0 || ::fsync(m_fd) != 0 ||
        !PwriteAll(m_fd, p, HEADER, 0) || ::fsync(m_fd) != 0) {
        SetLastErrorFromErrno();
        return false;
    }
    *repaired = true;
    return true;
}
