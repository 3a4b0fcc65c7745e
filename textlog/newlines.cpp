#include "textlog/newlines.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

#include "core/monmanager.h"
#include "textlog/mappedregion.h"
#include "textlog/searchworker.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define QUORVIL_NEWLINES_AVX2 1
#endif

namespace {

#ifdef QUORVIL_NEWLINES_AVX2
// Each byte of a counter vector counts the line feeds at its position, for
// up to 255 steps at a time; then the bytes are summed into the total.
__attribute__((target("avx2"))) std::size_t CountLineFeedsAvx2(const char* p, std::size_t n)
{
    const __m256i lf = _mm256_set1_epi8('\n');
    const __m256i zero = _mm256_setzero_si256();
    __m256i total = zero; // four 64-bit sums
    std::size_t i = 0;
    while (i + 64 <= n) {
        __m256i a = zero;
        __m256i b = zero;
        for (int k = 0; k < 255 && i + 64 <= n; ++k, i += 64) {
            // A match is -1: subtracting it adds one.
            a = _mm256_sub_epi8(
                a,
                _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i)), lf));
            b = _mm256_sub_epi8(
                b, _mm256_cmpeq_epi8(
                       _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i + 32)), lf));
        }
        total = _mm256_add_epi64(
            total, _mm256_add_epi64(_mm256_sad_epu8(a, zero), _mm256_sad_epu8(b, zero)));
    }
    alignas(32) std::uint64_t sums[4];
    _mm256_store_si256(reinterpret_cast<__m256i*>(sums), total);
    return static_cast<std::size_t>(sums[0] + sums[1] + sums[2] + sums[3]) +
           static_cast<std::size_t>(std::count(p + i, p + n, '\n'));
}
#endif

// The number of line feeds in p[0, n).
std::size_t CountLineFeeds(const char* p, std::size_t n)
{
#ifdef QUORVIL_NEWLINES_AVX2
    static const bool bAvx2 = __builtin_cpu_supports("avx2");
    if (bAvx2)
        return CountLineFeedsAvx2(p, n);
#endif
    return static_cast<std::size_t>(std::count(p, p + n, '\n'));
}

// Large enough that a read costs little beside the search, small enough to
// stay in the processor's caches.
constexpr std::size_t BLOCK_SIZE = 256 << 10;
// A mapped file is mapped this much at a time (the memory a scan holds) and
// searched a block at a time.
constexpr std::size_t WINDOW_SIZE = 8 << 20;

// The line of block that starts at nStart and ends before its line feed (or
// at the end of the block), without a carriage return before the line feed.
std::string_view LineAt(std::string_view block, std::size_t nStart, std::size_t& nNext)
{
    const void* nl = std::memchr(block.data() + nStart, '\n', block.size() - nStart);
    std::size_t nEnd =
        nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - block.data()) : block.size();
    nNext = nl ? nEnd + 1 : nEnd;
    if (nl && nEnd > nStart && block[nEnd - 1] == '\r')
        --nEnd;
    return block.substr(nStart, nEnd - nStart);
}

// Appends to spans the lines of block (offsets from its start) that can
// matter: every line without a finder; with one, the lines in which one of
// its patterns occurs or that a pattern of the set matches (a set with a
// block search holds the finder's patterns and finds them alone).
void FindKeptLines(std::string_view block, const CKeySetFinder* pFinder, const CRegexKeySet* pRegex,
                   std::vector<CLineSpan>& spans)
{
    if (!pFinder || (pRegex && !pRegex->HasBlockSearch())) {
        std::size_t nNext = 0;
        for (std::size_t nStart = 0; nStart < block.size(); nStart = nNext) {
            const std::string_view line = LineAt(block, nStart, nNext);
            if (!pFinder || pFinder->Contains(line) || pRegex->MatchesAny(line))
                spans.push_back({nStart, line.size()});
        }
    } else if (pRegex) {
        pRegex->FindLines(block, spans);
    } else {
        pFinder->FindLines(block, spans, true);
    }
}

// What the search of part of a window found: the lines to keep, as offsets
// from the part's start, and the number of lines in it.
struct CPartFound {
    std::vector<CLineSpan> spans;
    std::size_t nLines = 0;
};

// Searches part (complete lines, or ending with the file's last line) a
// block at a time, each block ending after a line feed so that its lines
// are counted while it is in the cache.
void SearchPart(std::string_view part, const CKeySetFinder* pFinder, const CRegexKeySet* pRegex,
                CPartFound& found)
{
    found.spans.clear();
    found.nLines = 0;
    for (std::size_t nOffset = 0; nOffset < part.size();) {
        std::size_t n = std::min(BLOCK_SIZE, part.size() - nOffset);
        if (nOffset + n < part.size()) {
            const void* nl = ::memrchr(part.data() + nOffset, '\n', n);
            if (!nl)
                nl = std::memchr(part.data() + nOffset + n, '\n', part.size() - nOffset - n);
            n = nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - part.data()) + 1 -
                         nOffset
                   : part.size() - nOffset;
        }
        const std::string_view block = part.substr(nOffset, n);
        const std::size_t nFirst = found.spans.size();
        FindKeptLines(block, pFinder, pRegex, found.spans);
        for (std::size_t i = nFirst; i < found.spans.size(); ++i)
            found.spans[i].nOffset += nOffset;
        found.nLines += CountLineFeeds(block.data(), block.size()) + (block.back() != '\n');
        nOffset += n;
    }
}

} // namespace

void CNewLines::Clear()
{
    m_strText.clear();
    m_arrGapBefore.clear();
    m_bGapAtEnd = false;
    m_nBytesRead = 0;
    m_nLinesRead = 0;
    m_nNextLine = 0;
    m_nReadError = 0;
}

bool CNewLines::Read(int fd, QWORD nStart, QWORD nMax, const CKeySetFinder* pFinder,
                     const CRegexKeySet* pRegex)
{
    Clear();
    if (IsStopRequested())
        return false;
    if (!pFinder) {
        // Every line is kept: room for all the bytes there are now, so the
        // text is not copied while it grows.
        struct stat st {};
        if (::fstat(fd, &st) == 0 && static_cast<QWORD>(st.st_size) > nStart)
            m_strText.reserve(static_cast<std::size_t>(
                                  std::min<QWORD>(static_cast<QWORD>(st.st_size) - nStart, nMax)) +
                              1);
    }
    switch (ReadMapped(fd, nStart, nMax, pFinder, pRegex)) {
    case MAPPED_DONE:
        m_bGapAtEnd = m_nBytesRead > 0 && m_nNextLine != m_nBytesRead;
        return true;
    case MAPPED_STOPPED:
        Clear();
        return false;
    case NOT_MAPPED:
        break;
    }
    std::vector<char> buffer(BLOCK_SIZE);
    std::size_t nHave = 0; // bytes in buffer, from stream offset nBase
    QWORD nBase = 0;
    for (;;) {
        if (nHave == buffer.size())
            buffer.resize(buffer.size() * 2); // one line longer than the buffer
        std::size_t nWant =
            static_cast<std::size_t>(std::min<QWORD>(buffer.size() - nHave, nMax - m_nBytesRead));
        if (nWant == 0)
            break;
        ssize_t nGot =
            ::pread(fd, buffer.data() + nHave, nWant, static_cast<off_t>(nStart + m_nBytesRead));
        if (nGot < 0 && errno == EINTR)
            continue;
        if (nGot < 0) {
            // The part of a line before the error is not a line: the next
            // scan reads it again whole.
            m_nReadError = errno;
            m_nBytesRead -= nHave;
            nHave = 0;
            break;
        }
        if (nGot == 0)
            break;
        m_nBytesRead += static_cast<QWORD>(nGot);
        nHave += static_cast<std::size_t>(nGot);
        if (IsStopRequested()) {
            Clear();
            return false;
        }
        const void* last = ::memrchr(buffer.data(), '\n', nHave);
        if (!last)
            continue;
        std::size_t nComplete =
            static_cast<std::size_t>(static_cast<const char*>(last) - buffer.data()) + 1;
        TakeLines({buffer.data(), nComplete}, nBase, pFinder, pRegex);
        m_nLinesRead += CountLineFeeds(buffer.data(), nComplete);
        std::memmove(buffer.data(), buffer.data() + nComplete, nHave - nComplete);
        nHave -= nComplete;
        nBase += nComplete;
    }
    if (nHave > 0) {
        TakeLines({buffer.data(), nHave}, nBase, pFinder, pRegex);
        ++m_nLinesRead;
    }
    m_bGapAtEnd = m_nBytesRead > 0 && m_nNextLine != m_nBytesRead;
    return true;
}

CNewLines::MappedResult CNewLines::ReadMapped(int fd, QWORD nStart, QWORD nMax,
                                              const CKeySetFinder* pFinder,
                                              const CRegexKeySet* pRegex)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return NOT_MAPPED;
    const auto nSize = static_cast<QWORD>(st.st_size);
    const QWORD nEnd = nSize > nStart ? nStart + std::min(nSize - nStart, nMax) : nStart;
    CMappedRegion region;
    std::unique_ptr<CSearchWorker> pWorker; // started for the first large window
    CPartFound first;
    CPartFound second;
    QWORD nPos = nStart; // the next line's start
    std::size_t nWindow = WINDOW_SIZE;
    while (nPos < nEnd) {
        const auto nLength = static_cast<std::size_t>(std::min<QWORD>(nWindow, nEnd - nPos));
        if (!region.Map(fd, nPos, nLength)) {
            if (nPos == nStart)
                return NOT_MAPPED;
            break; // the next scan reads on from here
        }
        const std::string_view window = region.View();
        const bool bLast = nPos + nLength == nEnd;
        const void* last = ::memrchr(window.data(), '\n', window.size());
        if (!last && !bLast) {
            nWindow *= 2; // one line longer than the window
            continue;
        }
        // Complete lines, and at the end the last line without its line feed.
        const std::size_t nTake =
            bLast ? window.size()
                  : static_cast<std::size_t>(static_cast<const char*>(last) - window.data()) + 1;
        // What is kept from a window of a file cut meanwhile is taken back.
        const std::size_t nTextBefore = m_strText.size();
        const std::size_t nKeptBefore = m_arrGapBefore.size();
        const std::size_t nLinesBefore = m_nLinesRead;
        const QWORD nNextLineBefore = m_nNextLine;
        // A large window is searched in two halves at once, the second (from
        // a line start) on the worker.
        const std::string_view text = window.substr(0, nTake);
        std::size_t nSplit = nTake;
        if (pFinder && nTake >= 2 * BLOCK_SIZE && CSearchWorker::IsUseful()) {
            if (const void* nl = ::memrchr(text.data(), '\n', nTake / 2))
                nSplit = static_cast<std::size_t>(static_cast<const char*>(nl) - text.data()) + 1;
        }
        if (nSplit < nTake) {
            if (!pWorker)
                pWorker = std::make_unique<CSearchWorker>();
            pWorker->Start([&] { SearchPart(text.substr(nSplit), pFinder, pRegex, second); });
        }
        SearchPart(text.substr(0, nSplit), pFinder, pRegex, first);
        const QWORD nBase = nPos - nStart;
        KeepSpans(text, nBase, first.spans);
        m_nLinesRead += first.nLines;
        if (nSplit < nTake) {
            pWorker->Wait();
            KeepSpans(text.substr(nSplit), nBase + nSplit, second.spans);
            m_nLinesRead += second.nLines;
        }
        if (region.WasCut()) {
            m_strText.resize(nTextBefore);
            m_arrGapBefore.resize(nKeptBefore);
            m_nLinesRead = nLinesBefore;
            m_nNextLine = nNextLineBefore;
            // The file was cut meanwhile (or a page could not be read): the
            // first window is read instead, otherwise the next scan goes on
            // from here (from the start, should the file be shorter).
            if (nPos == nStart)
                return NOT_MAPPED;
            break;
        }
        region.Unmap();
        nPos += nTake;
        m_nBytesRead = nPos - nStart;
        nWindow = WINDOW_SIZE;
        if (IsStopRequested())
            return MAPPED_STOPPED;
    }
    return MAPPED_DONE;
}

void CNewLines::TakeLines(std::string_view block, QWORD nBase, const CKeySetFinder* pFinder,
                          const CRegexKeySet* pRegex)
{
    m_spans.clear();
    FindKeptLines(block, pFinder, pRegex, m_spans);
    KeepSpans(block, nBase, m_spans);
}

void CNewLines::KeepSpans(std::string_view text, QWORD nBase, const std::vector<CLineSpan>& spans)
{
    std::size_t nNext = 0;
    for (const CLineSpan& span : spans) {
        const std::string_view line = LineAt(text, span.nOffset, nNext);
        Keep(line, nBase + span.nOffset, nBase + nNext);
    }
}

void CNewLines::Keep(std::string_view line, QWORD nLineStart, QWORD nNextLine)
{
    m_arrGapBefore.push_back(nLineStart != m_nNextLine);
    m_strText.append(line);
    m_strText.push_back('\n');
    m_nNextLine = nNextLine;
}

bool CNewLines::CCursor::Next(std::string_view& line, bool& bGapBefore)
{
    if (m_nIndex >= m_lines.m_arrGapBefore.size())
        return false;
    const std::string& text = m_lines.m_strText;
    std::size_t nEnd = text.find('\n', m_nOffset);
    line = std::string_view(text).substr(m_nOffset, nEnd - m_nOffset);
    bGapBefore = m_lines.m_arrGapBefore[m_nIndex++];
    m_nOffset = nEnd + 1;
    return true;
}
