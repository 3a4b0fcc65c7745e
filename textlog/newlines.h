#pragma once
// The reading half of a text log scan: the bytes added to a file since a
// byte position, cut into lines, of which only the lines that can matter are
// kept.
//
// Lines end at a line feed, which is not part of the line; a carriage return
// right before the line feed is dropped as well (text mode). Text after the
// last line feed is a last line. A regular file is mapped 8 MB at a time
// (CMappedRegion) and searched where its bytes lie, in blocks of 256 KB that
// stay in the processor's cache; anything else (or a file that cannot be
// mapped) is read in such blocks into one reused buffer. A line longer than
// a window or block grows it. Memory holds the kept lines, not the file:
// with a finder, only the lines in which one of its patterns occurs (a line
// without any key cannot trigger anything); without one, every line.
//
// The stop request of the scan manager is checked before the first block
// and after each one (each window when mapped); a stopped read returns
// false and keeps nothing.
//
// One scan on one thread; a large mapped window is searched in two halves
// at once, the second on a worker thread (textlog/searchworker.h) that reads
// only the window and the key sets and writes only its own results.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "match/keysetfinder.h"
#include "match/regexset.h"
#include "platform/base/win32types.h"

class CNewLines {
public:
    // Reads the file open as fd from byte nStart to its end, at most nMax
    // bytes. pFinder null keeps every line. With pRegex as well, a line is
    // kept when the finder finds a pattern in it or a pattern of the set
    // matches it. A set with a block search was given the finder's patterns
    // (CRegexKeySet::AddLiterals) and finds the lines alone, in one pass;
    // without one, each line is tested. False
    // when a stop was requested (the object is then empty). A read error
    // ends the read after the last whole line before it (GetReadError says
    // which).
    bool Read(int fd, QWORD nStart, QWORD nMax, const CKeySetFinder* pFinder,
              const CRegexKeySet* pRegex = nullptr);
    // The errno of a read that failed, 0 when the read reached the end.
    int GetReadError() const { return m_nReadError; }

    // Bytes consumed from nStart: the next scan's start is nStart plus this.
    QWORD GetBytesRead() const { return m_nBytesRead; }
    // Lines read, kept or not (a last line without its line feed counts).
    std::size_t GetLinesRead() const { return m_nLinesRead; }
    // Kept lines; with every line kept, the number of lines read.
    std::size_t GetCount() const { return m_arrGapBefore.size(); }
    // True when lines that were not kept come after the last kept one (or
    // when lines were read and none was kept).
    bool IsGapAtEnd() const { return m_bGapAtEnd; }

    // Walks the kept lines in file order. bGapBefore: a line that was not
    // kept comes right before this one.
    class CCursor {
    public:
        explicit CCursor(const CNewLines& lines) : m_lines(lines) {}
        bool Next(std::string_view& line, bool& bGapBefore);

    private:
        const CNewLines& m_lines;
        std::size_t m_nOffset = 0;
        std::size_t m_nIndex = 0;
    };

private:
    enum MappedResult { MAPPED_DONE, MAPPED_STOPPED, NOT_MAPPED };
    // Read for a regular file: its new bytes are searched where they lie,
    // mapped (CMappedRegion), not copied. NOT_MAPPED: nothing was read, the
    // file is to be read instead.
    MappedResult ReadMapped(int fd, QWORD nStart, QWORD nMax, const CKeySetFinder* pFinder,
                            const CRegexKeySet* pRegex);
    void Clear();
    // Takes the lines of block (complete lines, or the file's last line),
    // which starts at stream offset nBase.
    void TakeLines(std::string_view block, QWORD nBase, const CKeySetFinder* pFinder,
                   const CRegexKeySet* pRegex);
    // Keeps the lines of text at the spans' offsets; text starts at stream
    // offset nBase.
    void KeepSpans(std::string_view text, QWORD nBase, const std::vector<CLineSpan>& spans);
    void Keep(std::string_view line, QWORD nLineStart, QWORD nNextLine);

    // The kept lines, each ended by '\n' (a line holds none), so that
    // nothing per line is stored but one bit.
    std::string m_strText;
    std::vector<bool> m_arrGapBefore;
    std::size_t m_nLinesRead = 0;
    bool m_bGapAtEnd = false;
    QWORD m_nBytesRead = 0;
    int m_nReadError = 0;
    QWORD m_nNextLine = 0; // stream offset after the last kept line
    std::vector<CLineSpan> m_spans;
};
