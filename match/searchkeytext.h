#pragma once
// CSearchKeyText: the search key of text logs. It holds Key 1 and Key 2, a
// mode that combines them, and a flag for letter case; Match decides whether
// one line (without its line end) satisfies it:
//
//   found1: Key 1 is not empty and occurs in the line; found2 likewise
//   ONLY: found1   AND: found1 && found2   OR: found1 || found2
//   AND_NOT: found1 && !found2   any other mode value: no match
//
// Without m_bCaseSensitive the line and both keys are compared upper-cased
// (ASCII letters only, match/textfold.h). Plain substrings: no trimming, no
// word boundaries, no wildcards.
//
// Match runs on the scan thread; dialogs edit copies on the user interface
// thread and assign them back under the watch group's lock. For scanning
// many lines against many keys, prepare each line once (CPreparedLine) and
// test every key on it; CKeySetFinder (match/keysetfinder.h) finds the few
// lines of a block that can match at all.
#include <memory>
#include <string>
#include <string_view>

#include "match/searchkey.h"
#include "match/textfold.h"

enum class TextKeyMode : LONG { ONLY = 0, AND = 1, OR = 2, AND_NOT = 3 };

class CSearchKeyText : public CSearchKey {
    DECLARE_SERIAL(CSearchKeyText)
public:
    CSearchKeyText() = default;
    CSearchKeyText(const CSearchKeyText& src) = default;
    // Every field, hit counter included (as Assign).
    CSearchKeyText& operator=(const CSearchKeyText& src);
    using CSearchKey::operator=;

    BOOL Match(const CPreparedLine& line) const;
    // Convenience for a single line (upper-cases it into a new buffer).
    BOOL Match(std::string_view line) const { return Match(CPreparedLine(line)); }

    // "'%s' Only", "'%s' AND '%s'", "'%s' OR '%s'", "'%s' AND NOT '%s'"
    // with the keys as they are; empty for an unknown mode.
    std::string GetDescription() const override;
    std::unique_ptr<CSearchKey> Clone() const override;
    // Hits 0, mode ONLY, both keys empty, not case sensitive.
    void Reset() override;
    // "CF_BN_SEARCHKEYTEXT".
    UINT GetClipFormat() const override;
    // Copies every field of another text key, hit counter included.
    virtual void Assign(const CSearchKeyText& src);

    // Record: class reference of CSearchKey, the CSearchKey record, 32-bit
    // version 1, 32-bit mode, 32-bit case flag, Key 1, Key 2. Loading takes
    // every value as stored.
    void Serialize(CArchive& ar) override;

    BOOL m_bCaseSensitive = FALSE;
    TextKeyMode m_nMode = TextKeyMode::ONLY; // may hold any value read from a file
    std::string m_strKey1;
    std::string m_strKey2; // ignored in mode ONLY
};
