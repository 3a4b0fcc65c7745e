#pragma once
// CSearchKeyEvent: the search key of event logs. It holds a criterion on up
// to seven fields of an event record: Source, User, Computer, Category ID,
// Event ID, Event Type and Event Text (the rendered message). Each field has
// a 4-bit operator code in m_dwOperators and its own values; operator 0
// ignores the field. An event matches when every field that is set passes:
//
//   Source, User, Computer    1 equal, 2 not equal (first value), 7 one of,
//                             8 not one of the list; exact bytes, case included
//   Category ID, Event ID     1 to 8, unsigned; Event ID compares the low 16
//                             bits of the event's identifier
//   Event Type                1, 2, 7, 8 as for numbers
//   Event Text                1: the message contains the text
//                             9: a regular expression (RE2) matches somewhere
//                             in the message, without regard to case unless
//                             the pattern says "(?-i)"
//
// "One of" an empty list never passes, "not one of" it always does. A field
// whose operator needs more values than the key holds (only a damaged or
// hand-made file gives one; the setters never do) fails its test, and a
// code the field does not take fails as well.
//
// Letter case of the Event Text test: not case-sensitive. ASCII letters
// compare without regard to case, other bytes as they are (match/textfold.h,
// the same folding as text keys without their case flag). The key dialog has
// always told users the match ignores case, rendered descriptions differ in
// case between versions of a message file, and text keys default to the same
// rule; EVENT_TEXT_HELP_LINE is that dialog's help line.
//
// Match runs on the scan thread; dialogs edit copies on the user interface
// thread and assign them back under the watch group's lock.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "eventrecords/eventstruct.h"
#include "match/searchkey.h"
#include "match/textfold.h"

namespace re2 {
class RE2;
}

// The help line of the Event Text criterion in the key dialog (field label,
// text), worded for the case rule above.
inline constexpr const char* EVENT_TEXT_HELP_LINE =
    "%s contains the value '%s'. The match is not case-sensitive.";

enum KeyOperator : DWORD {
    OP_NONE = 0,
    OP_EQUAL = 1,
    OP_CONTAINS = 1, // the one code of Event Text
    OP_NOT_EQUAL = 2,
    OP_AT_LEAST = 3,
    OP_AT_MOST = 4,
    OP_BETWEEN = 5,
    OP_NOT_BETWEEN = 6,
    OP_ONE_OF = 7,
    OP_NOT_ONE_OF = 8,
    OP_REGEX = 9, // Event Text only
};

// Bit positions of the fields' operator codes in m_dwOperators.
enum KeyOperatorShift : DWORD {
    KEY_SHIFT_SOURCE = 0,
    KEY_SHIFT_USER = 4,
    KEY_SHIFT_COMPUTER = 8,
    KEY_SHIFT_CATEGORY = 12,
    KEY_SHIFT_EVENTID = 16,
    KEY_SHIFT_TYPE = 20,
    KEY_SHIFT_TEXT = 24,
};

class CSearchKeyEvent : public CSearchKey {
    DECLARE_SERIAL(CSearchKeyEvent)
public:
    CSearchKeyEvent() = default;
    CSearchKeyEvent(const CSearchKeyEvent& src) = default;
    // Every field, hit counter included (as Assign).
    CSearchKeyEvent& operator=(const CSearchKeyEvent& src);
    using CSearchKey::operator=;

    // Whether the event with its rendered message text satisfies the key.
    // Prepare the text once per event when it is tested against many keys.
    BOOL Match(const CEventStruct& event, const CPreparedLine& text) const;
    BOOL Match(const CEventStruct& event, std::string_view text) const
    {
        return Match(event, CPreparedLine(text));
    }

    // The set fields' descriptions in the order Source, User, Category ID,
    // Computer, Event ID, Event Type, Event Text, joined by ", ".
    std::string GetDescription() const override;
    std::unique_ptr<CSearchKey> Clone() const override;
    // Hits 0, text empty, every list empty, every operator 0.
    void Reset() override;
    // "CF_BN_SEARCHKEYEVENT".
    UINT GetClipFormat() const override;
    // Copies every field of another event key, hit counter included.
    virtual void Assign(const CSearchKeyEvent& src);

    // Record: class reference of CSearchKey, the CSearchKey record, 32-bit
    // version 2, operators, the string lists of sources, users and
    // computers, the number lists of event IDs, categories and types, the
    // text. Loading reads version 1 records (a field template) and converts
    // them; any other version is read as version 2. A key whose text is a
    // regular expression is written as version 3 (the same fields), which
    // older readers take as a test that never passes.
    void Serialize(CArchive& ar) override;

    DWORD GetSourceOperator() const { return GetOperator(KEY_SHIFT_SOURCE); }
    DWORD GetUserOperator() const { return GetOperator(KEY_SHIFT_USER); }
    DWORD GetComputerOperator() const { return GetOperator(KEY_SHIFT_COMPUTER); }
    DWORD GetCategoryOperator() const { return GetOperator(KEY_SHIFT_CATEGORY); }
    DWORD GetEventIDOperator() const { return GetOperator(KEY_SHIFT_EVENTID); }
    DWORD GetTypeOperator() const { return GetOperator(KEY_SHIFT_TYPE); }
    DWORD GetTextOperator() const { return GetOperator(KEY_SHIFT_TEXT); }

    // Setters of the key dialogs. Each clears its field first. bNegate
    // chooses the second code of a pair: not equal (2), not one of (8), not
    // between (6). A range is stored low bound first, as given.
    void ClearSource();
    void SetSourceValue(const std::string& strValue, BOOL bNegate = FALSE);
    void SetSourceList(const std::vector<std::string>& arrValues, BOOL bNegate = FALSE);
    void ClearUser();
    void SetUserValue(const std::string& strValue, BOOL bNegate = FALSE);
    void SetUserList(const std::vector<std::string>& arrValues, BOOL bNegate = FALSE);
    void ClearComputer();
    void SetComputerValue(const std::string& strValue, BOOL bNegate = FALSE);
    void SetComputerList(const std::vector<std::string>& arrValues, BOOL bNegate = FALSE);
    void ClearEventID();
    void SetEventIDValue(DWORD nValue, BOOL bNegate = FALSE);
    void SetEventIDList(const std::vector<DWORD>& arrValues, BOOL bNegate = FALSE);
    void SetEventIDRange(DWORD nLow, DWORD nHigh, BOOL bNegate = FALSE);
    void SetEventIDAtLeast(DWORD nValue);
    void SetEventIDAtMost(DWORD nValue);
    void ClearCategory();
    void SetCategoryValue(DWORD nValue, BOOL bNegate = FALSE);
    void SetCategoryList(const std::vector<DWORD>& arrValues, BOOL bNegate = FALSE);
    void SetCategoryRange(DWORD nLow, DWORD nHigh, BOOL bNegate = FALSE);
    void SetCategoryAtLeast(DWORD nValue);
    void SetCategoryAtMost(DWORD nValue);
    void ClearType();
    void SetTypeValue(DWORD nType, BOOL bNegate = FALSE);
    void SetTypeList(const std::vector<DWORD>& arrTypes, BOOL bNegate = FALSE);
    void ClearText();
    void SetText(const std::string& strText);
    // The text test as a regular expression; false when the pattern does
    // not compile (the key is then broken: it never matches).
    bool SetTextRegex(const std::string& strPattern);
    // A regular-expression text test whose pattern does not compile, and
    // RE2's message for it.
    bool IsBroken() const;
    std::string GetError() const;
    // The compiled text pattern, or null when the text test is not a
    // regular expression (or does not compile).
    const std::shared_ptr<const re2::RE2>& GetTextRegex() const { return m_pTextRegex; }

    // "Error", "Warning", "Information", "Audit Success", "Audit Fail" for
    // 1, 2, 4, 8, 16 (descriptions say "Audit Fail"); "" otherwise.
    static const char* GetTypeName(DWORD nType);

    std::string m_strText;
    std::vector<std::string> m_arrSources;
    std::vector<std::string> m_arrUsers;
    std::vector<std::string> m_arrComputers;
    std::vector<DWORD> m_arrEventIDs;
    std::vector<DWORD> m_arrCategories;
    std::vector<DWORD> m_arrTypes;
    DWORD m_dwOperators = 0; // seven 4-bit codes, KeyOperatorShift; bits 28-31 stay 0

private:
    // Compiles m_strText when the text operator is OP_REGEX.
    void CompileText();
    std::shared_ptr<const re2::RE2> m_pTextRegex; // shared between copies, immutable

    DWORD GetOperator(DWORD nShift) const { return (m_dwOperators >> nShift) & 0xF; }
    void SetOperator(DWORD nShift, DWORD nOperator)
    {
        m_dwOperators = (m_dwOperators & ~(DWORD{0xF} << nShift)) | ((nOperator & 0xF) << nShift);
    }
    // Replaces one field's values and sets its operator.
    template <class T>
    void SetField(DWORD nShift, std::vector<T>& arrField, std::vector<T> arrValues, DWORD nOperator)
    {
        arrField = std::move(arrValues);
        SetOperator(nShift, nOperator);
    }
    // Empties the criteria; the hit counter stays.
    void ClearFields();
    void LoadVersion1(CArchive& ar);
};
