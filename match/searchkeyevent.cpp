#include "match/searchkeyevent.h"

#include <algorithm>

#include <re2/re2.h>

#include "match/searchkeyregex.h"
#include "platform/clipboard/clipboard.h"

IMPLEMENT_SERIAL(CSearchKeyEvent, CSearchKey, VERSIONABLE_SCHEMA | 2)

namespace {

// Field mask bits of a version 1 record; Event Text has a bit of its own
// beside the event record's field bits.
constexpr DWORD V1_TEXT = 0x200;
// A version 1 event type that stands for every type.
constexpr DWORD V1_ALL_TYPES = 999;
constexpr DWORD ALL_TYPES[] = {EVENTLOG_ERROR_TYPE, EVENTLOG_WARNING_TYPE,
                               EVENTLOG_INFORMATION_TYPE, EVENTLOG_AUDIT_SUCCESS,
                               EVENTLOG_AUDIT_FAILURE};

template <class T> bool Contains(const std::vector<T>& values, const T& value)
{
    return std::find(values.begin(), values.end(), value) != values.end();
}

bool TestString(DWORD nOperator, const std::string& field, const std::vector<std::string>& values)
{
    switch (nOperator) {
    case OP_EQUAL:
        return !values.empty() && field == values[0];
    case OP_NOT_EQUAL:
        return !values.empty() && field != values[0];
    case OP_ONE_OF:
        return Contains(values, field);
    case OP_NOT_ONE_OF:
        return !Contains(values, field);
    default:
        return false;
    }
}

bool TestNumber(DWORD nOperator, DWORD field, const std::vector<DWORD>& values)
{
    const std::size_t nNeeded = nOperator == OP_BETWEEN || nOperator == OP_NOT_BETWEEN ? 2 : 1;
    if (nOperator < OP_ONE_OF && values.size() < nNeeded)
        return false;
    switch (nOperator) {
    case OP_EQUAL:
        return field == values[0];
    case OP_NOT_EQUAL:
        return field != values[0];
    case OP_AT_LEAST:
        return field >= values[0];
    case OP_AT_MOST:
        return field <= values[0];
    case OP_BETWEEN:
        return field >= values[0] && field <= values[1];
    case OP_NOT_BETWEEN:
        return field < values[0] || field > values[1];
    case OP_ONE_OF:
        return Contains(values, field);
    case OP_NOT_ONE_OF:
        return !Contains(values, field);
    default:
        return false;
    }
}

const char* OperatorText(DWORD nOperator)
{
    switch (nOperator) {
    case OP_EQUAL:
        return "is equal to";
    case OP_NOT_EQUAL:
        return "is not equal to";
    case OP_AT_LEAST:
        return "is greater than or equal to";
    case OP_AT_MOST:
        return "is less than or equal to";
    case OP_BETWEEN:
        return "is between";
    case OP_NOT_BETWEEN:
        return "is not between";
    case OP_ONE_OF:
        return "is one of";
    case OP_NOT_ONE_OF:
        return "is not one of";
    default:
        return "";
    }
}

bool IsPairCode(DWORD nOperator)
{
    return nOperator == OP_EQUAL || nOperator == OP_NOT_EQUAL;
}
bool IsListCode(DWORD nOperator)
{
    return nOperator == OP_ONE_OF || nOperator == OP_NOT_ONE_OF;
}

// "label operator", the start of every field's description. A code the
// field does not take describes as nothing.
std::string Lead(const char* label, DWORD nOperator)
{
    return std::string(label) + " " + OperatorText(nOperator);
}

template <class T, class Fn> std::string Join(const std::vector<T>& values, Fn format)
{
    std::string out;
    for (const T& v : values) {
        if (!out.empty())
            out += ",";
        out += format(v);
    }
    return out;
}

std::string DescribeStrings(const char* label, DWORD nOperator,
                            const std::vector<std::string>& values)
{
    if (IsPairCode(nOperator))
        return Lead(label, nOperator) + " '" + (values.empty() ? std::string() : values[0]) + "'";
    if (IsListCode(nOperator))
        return Lead(label, nOperator) + " {" +
               Join(values, [](const std::string& s) { return s; }) + "}";
    return {};
}

std::string DescribeNumbers(const char* label, DWORD nOperator, const std::vector<DWORD>& values)
{
    auto value = [&](std::size_t i) { return std::to_string(i < values.size() ? values[i] : 0); };
    if (nOperator >= OP_EQUAL && nOperator <= OP_AT_MOST)
        return Lead(label, nOperator) + " " + value(0);
    if (nOperator == OP_BETWEEN || nOperator == OP_NOT_BETWEEN)
        return Lead(label, nOperator) + " " + value(0) + " and " + value(1);
    if (IsListCode(nOperator))
        return Lead(label, nOperator) + " {" +
               Join(values, [](DWORD v) { return std::to_string(v); }) + "}";
    return {};
}

std::string DescribeTypes(DWORD nOperator, const std::vector<DWORD>& values)
{
    auto quoted = [](DWORD type) {
        return std::string("'") + CSearchKeyEvent::GetTypeName(type) + "'";
    };
    if (IsPairCode(nOperator))
        return Lead("Event Type", nOperator) + " " + quoted(values.empty() ? 0 : values[0]);
    if (IsListCode(nOperator))
        return Lead("Event Type", nOperator) + " {" + Join(values, quoted) + "}";
    return {};
}

} // namespace

CSearchKeyEvent& CSearchKeyEvent::operator=(const CSearchKeyEvent& src)
{
    Assign(src);
    return *this;
}

void CSearchKeyEvent::Assign(const CSearchKeyEvent& src)
{
    if (this == &src)
        return;
    CSearchKey::operator=(src);
    m_strText = src.m_strText;
    m_arrSources = src.m_arrSources;
    m_arrUsers = src.m_arrUsers;
    m_arrComputers = src.m_arrComputers;
    m_arrEventIDs = src.m_arrEventIDs;
    m_arrCategories = src.m_arrCategories;
    m_arrTypes = src.m_arrTypes;
    m_dwOperators = src.m_dwOperators;
    m_pTextRegex = src.m_pTextRegex;
}

BOOL CSearchKeyEvent::Match(const CEventStruct& event, const CPreparedLine& text) const
{
    // The tests have no side effects, so stopping at the first failure
    // gives the same result as running every one.
    if (DWORD op = GetSourceOperator(); op && !TestString(op, event.m_strSource, m_arrSources))
        return FALSE;
    if (DWORD op = GetUserOperator(); op && !TestString(op, event.m_strUser, m_arrUsers))
        return FALSE;
    if (DWORD op = GetComputerOperator();
        op && !TestString(op, event.m_strComputer, m_arrComputers))
        return FALSE;
    if (DWORD op = GetCategoryOperator(); op && !TestNumber(op, event.m_nCategory, m_arrCategories))
        return FALSE;
    if (DWORD op = GetEventIDOperator();
        op && !TestNumber(op, event.m_nEventID & 0xFFFF, m_arrEventIDs))
        return FALSE;
    if (DWORD op = GetTypeOperator(); op && !((IsPairCode(op) || IsListCode(op)) &&
                                              TestNumber(op, event.m_nEventType, m_arrTypes)))
        return FALSE;
    if (DWORD op = GetTextOperator(); op == OP_REGEX) {
        if (!m_pTextRegex ||
            !re2::RE2::PartialMatch(re2::StringPiece(text.GetLine().data(), text.GetLine().size()),
                                    *m_pTextRegex))
            return FALSE;
    } else if (op) {
        if (op != OP_CONTAINS)
            return FALSE;
        if (!m_strText.empty() && !textfold::FindUpper(text.GetUpper(), m_strText))
            return FALSE;
    }
    return TRUE;
}

std::string CSearchKeyEvent::GetDescription() const
{
    std::string text;
    if (GetTextOperator() == OP_CONTAINS)
        text = "Event Text contains " +
               (m_strText.empty() ? std::string("<Not set>") : "'" + m_strText + "'");
    else if (GetTextOperator() == OP_REGEX)
        text = "Event Text matches '" + m_strText + "'" +
               (IsBroken() ? " BROKEN: " + GetError() : std::string());
    const std::string parts[] = {
        DescribeStrings("Source", GetSourceOperator(), m_arrSources),
        DescribeStrings("User", GetUserOperator(), m_arrUsers),
        DescribeNumbers("Category ID", GetCategoryOperator(), m_arrCategories),
        DescribeStrings("Computer", GetComputerOperator(), m_arrComputers),
        DescribeNumbers("Event ID", GetEventIDOperator(), m_arrEventIDs),
        DescribeTypes(GetTypeOperator(), m_arrTypes),
        text,
    };
    std::string out;
    for (const std::string& part : parts) {
        if (part.empty())
            continue;
        if (!out.empty())
            out += ", ";
        out += part;
    }
    return out;
}

std::unique_ptr<CSearchKey> CSearchKeyEvent::Clone() const
{
    return std::make_unique<CSearchKeyEvent>(*this);
}

void CSearchKeyEvent::Reset()
{
    CSearchKey::Reset();
    ClearFields();
}

void CSearchKeyEvent::ClearFields()
{
    m_strText.clear();
    m_arrSources.clear();
    m_arrUsers.clear();
    m_arrComputers.clear();
    m_arrEventIDs.clear();
    m_arrCategories.clear();
    m_arrTypes.clear();
    m_dwOperators = 0;
    m_pTextRegex.reset();
}

UINT CSearchKeyEvent::GetClipFormat() const
{
    return GetBnClipFormat(BnClipFormat::SEARCHKEYEVENT);
}

const char* CSearchKeyEvent::GetTypeName(DWORD nType)
{
    return nType == EVENTLOG_AUDIT_FAILURE ? "Audit Fail" : CEventStruct::GetEventTypeName(nType);
}

// ----------------------------------------------------------------- setters

void CSearchKeyEvent::ClearSource()
{
    SetField(KEY_SHIFT_SOURCE, m_arrSources, {}, OP_NONE);
}
void CSearchKeyEvent::SetSourceValue(const std::string& strValue, BOOL bNegate)
{
    SetField(KEY_SHIFT_SOURCE, m_arrSources, {strValue}, bNegate ? OP_NOT_EQUAL : OP_EQUAL);
}
void CSearchKeyEvent::SetSourceList(const std::vector<std::string>& arrValues, BOOL bNegate)
{
    SetField(KEY_SHIFT_SOURCE, m_arrSources, arrValues, bNegate ? OP_NOT_ONE_OF : OP_ONE_OF);
}

void CSearchKeyEvent::ClearUser()
{
    SetField(KEY_SHIFT_USER, m_arrUsers, {}, OP_NONE);
}
void CSearchKeyEvent::SetUserValue(const std::string& strValue, BOOL bNegate)
{
    SetField(KEY_SHIFT_USER, m_arrUsers, {strValue}, bNegate ? OP_NOT_EQUAL : OP_EQUAL);
}
void CSearchKeyEvent::SetUserList(const std::vector<std::string>& arrValues, BOOL bNegate)
{
    SetField(KEY_SHIFT_USER, m_arrUsers, arrValues, bNegate ? OP_NOT_ONE_OF : OP_ONE_OF);
}

void CSearchKeyEvent::ClearComputer()
{
    SetField(KEY_SHIFT_COMPUTER, m_arrComputers, {}, OP_NONE);
}
void CSearchKeyEvent::SetComputerValue(const std::string& strValue, BOOL bNegate)
{
    SetField(KEY_SHIFT_COMPUTER, m_arrComputers, {strValue}, bNegate ? OP_NOT_EQUAL : OP_EQUAL);
}
void CSearchKeyEvent::SetComputerList(const std::vector<std::string>& arrValues, BOOL bNegate)
{
    SetField(KEY_SHIFT_COMPUTER, m_arrComputers, arrValues, bNegate ? OP_NOT_ONE_OF : OP_ONE_OF);
}

void CSearchKeyEvent::ClearEventID()
{
    SetField(KEY_SHIFT_EVENTID, m_arrEventIDs, {}, OP_NONE);
}
void CSearchKeyEvent::SetEventIDValue(DWORD nValue, BOOL bNegate)
{
    SetField(KEY_SHIFT_EVENTID, m_arrEventIDs, {nValue}, bNegate ? OP_NOT_EQUAL : OP_EQUAL);
}
void CSearchKeyEvent::SetEventIDList(const std::vector<DWORD>& arrValues, BOOL bNegate)
{
    SetField(KEY_SHIFT_EVENTID, m_arrEventIDs, arrValues, bNegate ? OP_NOT_ONE_OF : OP_ONE_OF);
}
void CSearchKeyEvent::SetEventIDRange(DWORD nLow, DWORD nHigh, BOOL bNegate)
{
    SetField(KEY_SHIFT_EVENTID, m_arrEventIDs, {nLow, nHigh},
             bNegate ? OP_NOT_BETWEEN : OP_BETWEEN);
}
void CSearchKeyEvent::SetEventIDAtLeast(DWORD nValue)
{
    SetField(KEY_SHIFT_EVENTID, m_arrEventIDs, {nValue}, OP_AT_LEAST);
}
void CSearchKeyEvent::SetEventIDAtMost(DWORD nValue)
{
    SetField(KEY_SHIFT_EVENTID, m_arrEventIDs, {nValue}, OP_AT_MOST);
}

void CSearchKeyEvent::ClearCategory()
{
    SetField(KEY_SHIFT_CATEGORY, m_arrCategories, {}, OP_NONE);
}
void CSearchKeyEvent::SetCategoryValue(DWORD nValue, BOOL bNegate)
{
    SetField(KEY_SHIFT_CATEGORY, m_arrCategories, {nValue}, bNegate ? OP_NOT_EQUAL : OP_EQUAL);
}
void CSearchKeyEvent::SetCategoryList(const std::vector<DWORD>& arrValues, BOOL bNegate)
{
    SetField(KEY_SHIFT_CATEGORY, m_arrCategories, arrValues, bNegate ? OP_NOT_ONE_OF : OP_ONE_OF);
}
void CSearchKeyEvent::SetCategoryRange(DWORD nLow, DWORD nHigh, BOOL bNegate)
{
    SetField(KEY_SHIFT_CATEGORY, m_arrCategories, {nLow, nHigh},
             bNegate ? OP_NOT_BETWEEN : OP_BETWEEN);
}
void CSearchKeyEvent::SetCategoryAtLeast(DWORD nValue)
{
    SetField(KEY_SHIFT_CATEGORY, m_arrCategories, {nValue}, OP_AT_LEAST);
}
void CSearchKeyEvent::SetCategoryAtMost(DWORD nValue)
{
    SetField(KEY_SHIFT_CATEGORY, m_arrCategories, {nValue}, OP_AT_MOST);
}

void CSearchKeyEvent::ClearType()
{
    SetField(KEY_SHIFT_TYPE, m_arrTypes, {}, OP_NONE);
}
void CSearchKeyEvent::SetTypeValue(DWORD nType, BOOL bNegate)
{
    SetField(KEY_SHIFT_TYPE, m_arrTypes, {nType}, bNegate ? OP_NOT_EQUAL : OP_EQUAL);
}
void CSearchKeyEvent::SetTypeList(const std::vector<DWORD>& arrTypes, BOOL bNegate)
{
    SetField(KEY_SHIFT_TYPE, m_arrTypes, arrTypes, bNegate ? OP_NOT_ONE_OF : OP_ONE_OF);
}

void CSearchKeyEvent::ClearText()
{
    SetOperator(KEY_SHIFT_TEXT, OP_NONE);
    m_strText.clear();
    m_pTextRegex.reset();
}

void CSearchKeyEvent::SetText(const std::string& strText)
{
    m_strText = strText;
    SetOperator(KEY_SHIFT_TEXT, OP_CONTAINS);
    m_pTextRegex.reset();
}

// ---------------------------------------------------------- stored form

void CSearchKeyEvent::Serialize(CArchive& ar)
{
    if (ar.IsLoading())
        ar.GetObjectSchema();
    ar.SerializeClass(RUNTIME_CLASS(CSearchKey));
    CSearchKey::Serialize(ar);
    if (ar.IsStoring()) {
        ar << DWORD{GetTextOperator() == OP_REGEX ? 3u : 2u} << m_dwOperators;
    } else {
        DWORD nVersion;
        ar >> nVersion;
        if (nVersion == 1) {
            LoadVersion1(ar);
            return;
        }
        ar >> m_dwOperators;
    }
    SerializeStrings(ar, m_arrSources);
    SerializeStrings(ar, m_arrUsers);
    SerializeStrings(ar, m_arrComputers);
    SerializeNumbers(ar, m_arrEventIDs);
    SerializeNumbers(ar, m_arrCategories);
    SerializeNumbers(ar, m_arrTypes);
    if (ar.IsStoring()) {
        ar << m_strText;
    } else {
        ar >> m_strText;
        CompileText();
    }
}

bool CSearchKeyEvent::SetTextRegex(const std::string& strPattern)
{
    m_strText = strPattern;
    SetOperator(KEY_SHIFT_TEXT, OP_REGEX);
    CompileText();
    return m_pTextRegex != nullptr;
}

void CSearchKeyEvent::CompileText()
{
    m_pTextRegex.reset();
    if (GetTextOperator() == OP_REGEX)
        m_pTextRegex = CompileKeyPattern(m_strText, false, nullptr);
}

bool CSearchKeyEvent::IsBroken() const
{
    return GetTextOperator() == OP_REGEX && !m_pTextRegex;
}

std::string CSearchKeyEvent::GetError() const
{
    return IsBroken() ? CSearchKeyRegex::CheckPattern(m_strText, false) : std::string();
}

void CSearchKeyEvent::LoadVersion1(CArchive& ar)
{
    // The earlier record is an event field template: a mask of the fields
    // to test and one value each, all compared for equality except the type.
    DWORD nMask;
    DWORD nCategory;
    DWORD nEventID;
    std::string strComputer;
    std::string strSource;
    std::string strUser;
    WORD nType;
    std::string strText;
    ar >> nMask >> nCategory >> nEventID >> strComputer >> strSource >> strUser >> nType >> strText;

    ClearFields();
    if (nMask & EVF_SOURCE)
        SetSourceValue(strSource);
    if (nMask & EVF_USER)
        SetUserValue(strUser);
    if (nMask & EVF_COMPUTER)
        SetComputerValue(strComputer);
    if (nMask & EVF_CATEGORY)
        SetCategoryValue(nCategory);
    if (nMask & EVF_EVENTID)
        SetEventIDValue(nEventID);
    if (nMask & V1_TEXT)
        SetText(strText);
    if (nMask & EVF_EVENTTYPE) {
        std::vector<DWORD> types;
        if (nType == V1_ALL_TYPES)
            types.assign(std::begin(ALL_TYPES), std::end(ALL_TYPES));
        else if (std::find(std::begin(ALL_TYPES), std::end(ALL_TYPES), nType) !=
                 std::end(ALL_TYPES))
            types.push_back(nType);
        SetTypeList(types);
    }
}
