#include "tools/qvws/wsjson.h"

#include <array>
#include <cctype>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "core/keysandactions.h"
#include "core/monmanager.h"
#include "eventlog/scan/eventmonitor.h"
#include "evtx/evtxmonitor.h"
#include "journal/journalfields.h"
#include "journal/journalmonitor.h"
#include "match/searchkeyevent.h"
#include "match/searchkeyregex.h"
#include "match/searchkeytext.h"
#include "tasklib/actions.h"
#include "tasklib/alertactions.h"
#include "tasklib/task.h"
#include "textlog/filemonitor.h"

namespace {

using Strings = std::vector<std::string> CSearchKeyEvent::*;
using Numbers = std::vector<DWORD> CSearchKeyEvent::*;

constexpr unsigned OpBit(DWORD op)
{
    return 1u << op;
}

// The seven fields of an event key, in the order they are written.
struct CEventField {
    const char* m_pszName;
    DWORD m_nShift;
    unsigned m_nAllowed; // OpBit of each operator the field takes
    Strings m_pStrings;  // a string list, or
    Numbers m_pNumbers;  // a number list, or neither: the text
};

constexpr unsigned EQUALITY_OPS =
    OpBit(OP_EQUAL) | OpBit(OP_NOT_EQUAL) | OpBit(OP_ONE_OF) | OpBit(OP_NOT_ONE_OF);
constexpr unsigned ALL_OPS = 0x1FE;

const std::array<CEventField, 7> g_eventFields = {{
    {"source", KEY_SHIFT_SOURCE, EQUALITY_OPS, &CSearchKeyEvent::m_arrSources, nullptr},
    {"user", KEY_SHIFT_USER, EQUALITY_OPS, &CSearchKeyEvent::m_arrUsers, nullptr},
    {"computer", KEY_SHIFT_COMPUTER, EQUALITY_OPS, &CSearchKeyEvent::m_arrComputers, nullptr},
    {"category", KEY_SHIFT_CATEGORY, ALL_OPS, nullptr, &CSearchKeyEvent::m_arrCategories},
    {"eventId", KEY_SHIFT_EVENTID, ALL_OPS, nullptr, &CSearchKeyEvent::m_arrEventIDs},
    {"type", KEY_SHIFT_TYPE, EQUALITY_OPS, nullptr, &CSearchKeyEvent::m_arrTypes},
    {"text", KEY_SHIFT_TEXT, OpBit(OP_CONTAINS) | OpBit(OP_REGEX), nullptr, nullptr},
}};

// Operator names by code; the text field calls its operators "contains" and
// "regex".
const std::array<const char*, 9> g_opNames = {
    "", "equal", "notEqual", "atLeast", "atMost", "between", "notBetween", "oneOf", "notOneOf"};

const char* OpName(const CEventField& field, DWORD op)
{
    if (!field.m_pStrings && !field.m_pNumbers)
        return op == OP_REGEX ? "regex" : "contains";
    return g_opNames[op];
}

// "equal, notEqual, oneOf, notOneOf": the operators the field takes.
std::string AllowedOps(const CEventField& field)
{
    std::string text;
    for (DWORD k = 1; k <= OP_REGEX; ++k) {
        if (field.m_nAllowed & OpBit(k))
            text += (text.empty() ? "" : ", ") + std::string(OpName(field, k));
    }
    return text;
}

// Why a field holding operator op with nValues values has no JSON form, or
// empty when it has one. Operator 0 stands for a field that is not set.
std::string CheckEventField(const CEventField& field, DWORD op, std::size_t nValues)
{
    if (op == OP_NONE)
        return nValues == 0 ? "" : "values without an operator";
    if (op > OP_REGEX || !(field.m_nAllowed & OpBit(op)))
        return "operator code " + std::to_string(op) + " is none of " + AllowedOps(field);
    if (!field.m_pStrings && !field.m_pNumbers)
        return "";
    const std::size_t nNeeded = op <= OP_AT_MOST ? 1 : op <= OP_NOT_BETWEEN ? 2 : nValues;
    if (nValues != nNeeded)
        return std::string("operator '") + g_opNames[op] + "' takes " + std::to_string(nNeeded) +
               (nNeeded == 1 ? " value, not " : " values, not ") + std::to_string(nValues);
    return "";
}

const std::array<const char*, 4> g_modeNames = {"only", "and", "or", "andNot"};

// A member name or string as messages show it: in single quotes, escaped.
std::string Quoted(std::string_view text)
{
    const std::string json = QuoteJsonString(text);
    return "'" + json.substr(1, json.size() - 2) + "'";
}

std::string Member(const std::string& path, std::string_view name)
{
    return path.empty() ? std::string(name) : path + "." + std::string(name);
}

std::string Item(const std::string& path, std::size_t index)
{
    return path + "[" + std::to_string(index) + "]";
}

[[noreturn]] void Fail(CJsonPos pos, const std::string& path, const std::string& message)
{
    throw CJsonError(pos, path.empty() ? message : path + ": " + message);
}

// ---------------------------------------------------------------- writing

// Task texts go through the task library's C-string setters, which would
// cut them at a NUL byte.
void CheckTaskText(const std::string& path, const std::string& text)
{
    if (text.find('\0') != std::string::npos)
        Fail({}, path, "holds a NUL byte, which a task text cannot keep");
}

CJsonValue Bool(BOOL b)
{
    return CJsonValue::MakeBool(b != 0);
}

CJsonValue String(std::string_view s)
{
    return CJsonValue::MakeString(s);
}

CJsonValue Number(std::int64_t n)
{
    return CJsonValue::MakeNumber(n);
}

std::string HexBytes(std::string_view bytes)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string hex;
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        hex += digits[c >> 4];
        hex += digits[c & 0xF];
    }
    return hex;
}

CJsonValue EventKeyToJson(const CSearchKeyEvent& key, const std::string& path)
{
    if (key.m_dwOperators >> 28)
        Fail({}, path, "operator bits 28 to 31 are set");
    CJsonValue json = CJsonValue::MakeObject();
    json.Add("kind", String("event"));
    for (const CEventField& field : g_eventFields) {
        const DWORD op = (key.m_dwOperators >> field.m_nShift) & 0xF;
        const std::size_t nValues = field.m_pStrings   ? (key.*field.m_pStrings).size()
                                    : field.m_pNumbers ? (key.*field.m_pNumbers).size()
                                                       : (key.m_strText.empty() ? 0 : 1);
        if (std::string why = CheckEventField(field, op, nValues); !why.empty())
            Fail({}, Member(path, field.m_pszName), why);
        if (op == OP_NONE)
            continue;
        CJsonValue& value = json.Add(field.m_pszName, CJsonValue::MakeObject());
        value.Add("op", String(OpName(field, op)));
        if (field.m_pStrings || field.m_pNumbers) {
            CJsonValue& values = value.Add("values", CJsonValue::MakeArray());
            if (field.m_pStrings) {
                for (const std::string& s : key.*field.m_pStrings)
                    values.Push(String(s));
            } else {
                for (DWORD n : key.*field.m_pNumbers)
                    values.Push(Number(n));
            }
        } else {
            value.Add("value", String(key.m_strText));
        }
    }
    return json;
}

CJsonValue KeyToJson(const CSearchKey* pKey, const std::string& path)
{
    if (const auto* pEvent = dynamic_cast<const CSearchKeyEvent*>(pKey))
        return EventKeyToJson(*pEvent, path);
    if (const auto* pRegex = dynamic_cast<const CSearchKeyRegex*>(pKey)) {
        CJsonValue json = CJsonValue::MakeObject();
        json.Add("kind", String("regex"));
        json.Add("pattern", String(pRegex->GetPattern()));
        json.Add("caseSensitive", Bool(pRegex->IsCaseSensitive()));
        return json;
    }
    const auto* pText = dynamic_cast<const CSearchKeyText*>(pKey);
    if (!pText)
        Fail({}, path,
             "a search key of class " + std::string(pKey->GetRuntimeClass()->m_lpszClassName));
    const auto mode = static_cast<LONG>(pText->m_nMode);
    if (mode < 0 || mode >= static_cast<LONG>(g_modeNames.size()))
        Fail({}, path, "mode " + std::to_string(mode) + " is none of only, and, or, andNot");
    CJsonValue json = CJsonValue::MakeObject();
    json.Add("kind", String("text"));
    json.Add("mode", String(g_modeNames[static_cast<std::size_t>(mode)]));
    json.Add("caseSensitive", Bool(pText->m_bCaseSensitive));
    json.Add("key1", String(pText->m_strKey1));
    json.Add("key2", String(pText->m_strKey2));
    return json;
}

// A secret: passwordScrambled (kept in the workspace), passwordFile or
// passwordEnv.
void SecretToJson(CJsonValue& json, const CSecret& secret)
{
    switch (secret.GetKind()) {
    case CSecret::File:
        json.Add("passwordFile", String(secret.GetValue()));
        break;
    case CSecret::Environment:
        json.Add("passwordEnv", String(secret.GetValue()));
        break;
    default:
        json.Add("passwordScrambled", String(HexBytes(ScrambleSecret(secret.GetValue()))));
    }
}

CJsonValue ActionToJson(const CBaseAction* pAction, const std::string& path)
{
    CJsonValue json = CJsonValue::MakeObject();
    const auto text = [&](const char* name, const std::string& s) {
        CheckTaskText(Member(path, name), s);
        json.Add(name, String(s));
    };
    // The time-out and TLS checks of an action that connects to a server.
    const auto connection = [&](const auto& action) {
        json.Add("timeout", Number(action.m_dwTimeout));
        json.Add("verifyTls", Bool(action.m_bVerifyTls));
        text("caFile", action.m_strCaFile);
    };
    if (const auto* pMessage = dynamic_cast<const CDisplayMessage*>(pAction)) {
        json.Add("kind", String("message"));
        text("text", pMessage->GetMessage());
    } else if (const auto* pWrite = dynamic_cast<const CWriteToFile*>(pAction)) {
        json.Add("kind", String("writefile"));
        text("path", pWrite->GetPath());
        text("text", pWrite->GetText());
    } else if (const auto* pRun = dynamic_cast<const CRunProgram*>(pAction)) {
        json.Add("kind", String("run"));
        text("command", pRun->GetCommand());
        text("directory", pRun->GetDirectory());
        json.Add("wait", Bool(pRun->GetWait()));
        json.Add("timeout", Number(pRun->GetTimeout()));
    } else if (const auto* pMail = dynamic_cast<const CSendMail*>(pAction)) {
        static constexpr const char* tls[] = {"required", "optional", "never"};
        json.Add("kind", String("email"));
        text("server", pMail->m_strServer);
        json.Add("starttls", String(tls[pMail->m_nStartTls]));
        text("user", pMail->m_strUser);
        SecretToJson(json, pMail->m_password);
        text("from", pMail->m_strFrom);
        CJsonValue& to = json.Add("to", CJsonValue::MakeArray());
        for (const std::string& address : pMail->m_arrTo)
            to.Push(String(address));
        text("subject", pMail->m_strSubject);
        text("body", pMail->m_strBody);
        connection(*pMail);
    } else if (const auto* pHook = dynamic_cast<const CWebHook*>(pAction)) {
        json.Add("kind", String("webhook"));
        text("url", pHook->m_strUrl);
        text("method", pHook->m_strMethod);
        text("format", pHook->m_strFormat);
        text("body", pHook->m_strBody);
        CJsonValue& headers = json.Add("headers", CJsonValue::MakeArray());
        for (const std::string& header : pHook->m_arrHeaders)
            headers.Push(String(header));
        text("user", pHook->m_strUser);
        SecretToJson(json, pHook->m_password);
        connection(*pHook);
    } else if (const auto* pSyslog = dynamic_cast<const CSyslogForward*>(pAction)) {
        json.Add("kind", String("syslog"));
        text("host", pSyslog->m_strHost);
        json.Add("port", Number(pSyslog->m_dwPort));
        text("protocol", pSyslog->m_strProtocol);
        json.Add("facility", String(SyslogFacilityName(pSyslog->m_dwFacility)));
        json.Add("severity",
                 String(pSyslog->m_nSeverity < 0
                            ? "auto"
                            : SyslogSeverityName(static_cast<DWORD>(pSyslog->m_nSeverity))));
        text("message", pSyslog->m_strMessage);
        json.Add("maxLength", Number(pSyslog->m_dwMaxLength));
        json.Add("timeout", Number(pSyslog->m_dwTimeout));
    } else if (const auto* pNote = dynamic_cast<const CDesktopNotification*>(pAction)) {
        json.Add("kind", String("notification"));
        text("summary", pNote->m_strSummary);
        text("body", pNote->m_strBody);
    } else {
        Fail({}, path,
             "an action of class " + std::string(pAction->GetRuntimeClass()->m_lpszClassName));
    }
    return json;
}

CJsonValue TaskToJson(const CTask& task, const std::string& path)
{
    CJsonValue json = CJsonValue::MakeObject();
    const std::string description = task.GetDescription();
    CheckTaskText(Member(path, "description"), description);
    json.Add("description", String(description));
    CJsonValue& variables = json.Add("variables", CJsonValue::MakeObject());
    for (const auto& [name, value] : task.GetVariables().GetConstants()) {
        const std::string variablePath = Member(path, "variables") + "[" + Quoted(name) + "]";
        CheckTaskText(variablePath, name);
        CheckTaskText(variablePath, value);
        variables.Add(name, String(value));
    }
    CJsonValue& actions = json.Add("actions", CJsonValue::MakeArray());
    for (int i = 0; i < task.GetActionCount(); ++i)
        actions.Push(ActionToJson(task.GetAction(i),
                                  Item(Member(path, "actions"), static_cast<std::size_t>(i))));
    return json;
}

CJsonValue GroupToJson(const CKeysAndActions& group, const std::string& path)
{
    CJsonValue json = CJsonValue::MakeObject();
    json.Add("description", String(group.m_strDescription));
    json.Add("minInterval", Bool(group.m_bMinInterval));
    json.Add("minIntervalMinutes", Number(group.m_nMinIntervalMinutes));
    // The rules appear only in groups that use one, as they are stored.
    if (const CGroupRules& rules = group.m_rules; rules.IsUsed()) {
        json.Add("threshold", Bool(rules.m_threshold.bEnabled));
        json.Add("thresholdCount", Number(rules.m_threshold.nCount));
        json.Add("thresholdSeconds", Number(rules.m_threshold.nSeconds));
        json.Add("thresholdPer", String(rules.m_threshold.strPer));
        json.Add("silence", Bool(rules.m_silence.bEnabled));
        json.Add("silenceMinutes", Number(rules.m_silence.nMinutes));
        json.Add("silenceBy", String(rules.m_silence.strBy));
        CJsonValue& days = json.Add("silenceWeekdays", CJsonValue::MakeArray());
        for (int day : rules.m_silence.weekdays)
            days.Push(Number(day));
    }
    if (group.m_bDigest) {
        json.Add("digest", Bool(group.m_bDigest));
        json.Add("digestRuns", Number(group.m_nDigestRuns));
        json.Add("digestMinutes", Number(group.m_nDigestMinutes));
        if (!group.m_digest.IsIdle()) {
            const CDigestState::CData data = group.m_digest.GetData();
            CJsonValue& state = json.Add("digestState", CJsonValue::MakeObject());
            state.Add("periodStart", Number(data.nPeriodStart));
            state.Add("runs", Number(data.nRuns));
            state.Add("held", Number(data.nHeld));
            state.Add("firstHeld", Number(data.nFirstHeld));
            state.Add("lastHeld", Number(data.nLastHeld));
            CJsonValue& variables = state.Add("variables", CJsonValue::MakeObject());
            for (const auto& [name, value] : data.mapHeld)
                variables.Add(name, String(value));
        }
    }
    CJsonValue& keys = json.Add("keys", CJsonValue::MakeArray());
    int pos = 0;
    while (const CSearchKey* pKey = group.GetNextKey(pos))
        keys.Push(KeyToJson(pKey, Item(Member(path, "keys"), keys.m_items.size())));
    json.Add("task", TaskToJson(group.m_task, Member(path, "task")));
    return json;
}

CJsonValue LogToJson(const CMonitoredObject& log, const std::string& path)
{
    const auto* pEvent = dynamic_cast<const CEventMonitor*>(&log);
    const auto* pText = dynamic_cast<const CFileMonitor*>(&log);
    const auto* pJournal = dynamic_cast<const CJournalMonitor*>(&log);
    const auto* pEvtx = dynamic_cast<const CEvtxMonitor*>(&log);
    if (!pEvent && !pText && !pJournal && !pEvtx)
        Fail({}, path,
             "a monitored log of class " + std::string(log.GetRuntimeClass()->m_lpszClassName));
    CJsonValue json = CJsonValue::MakeObject();
    json.Add("kind", String(pEvent ? "event" : pJournal ? "journal" : pEvtx ? "evtx" : "text"));
    if (pEvtx) {
        json.Add("path", String(pEvtx->m_strPath));
        json.Add("lastRecord", Number(static_cast<std::int64_t>(pEvtx->m_nLastRecord)));
    }
    if (pJournal) {
        json.Add("directory", String(pJournal->m_strDirectory));
        CJsonValue& matches = json.Add("matches", CJsonValue::MakeArray());
        for (const std::string& strMatch : pJournal->m_arrMatches)
            matches.Push(String(strMatch));
        json.Add("cursor", String(pJournal->m_strCursor));
        json.Add("readExisting", Bool(pJournal->m_bReadExisting));
    }
    if (pEvent) {
        json.Add("computer", String(pEvent->m_strServer));
        json.Add("log", String(pEvent->m_strLogName));
        json.Add("lastRecord", Number(pEvent->m_nLastRecord));
    }
    json.Add("enabled", Bool(log.m_bEnabled));
    json.Add("interval", Number(log.m_nInterval));
    json.Add("lastScanned", Number(log.m_timeLastScanned.GetTime()));
    json.Add("lastChanged", Number(log.m_timeLastChanged.GetTime()));
    json.Add("impersonate", Bool(log.m_bImpersonate));
    json.Add("user", String(log.m_strLogonUser));
    json.Add("passwordScrambled", String(HexBytes(ScrambleText(log.m_strLogonPassword))));
    json.Add("domain", String(log.m_strLogonDomain));
    if (pText) {
        json.Add("description", String(pText->m_strShortDescription));
        json.Add("directory", String(pText->m_strDirectory));
        json.Add("fileName", String(pText->m_strFileName));
        json.Add("position", Number(pText->m_dwPosition));
        json.Add("lastSize", Number(pText->m_dwLastSize));
        json.Add("formattedName", Bool(pText->m_bFormattedName));
        json.Add("template", String(pText->m_strTemplate));
    }
    CJsonValue& groups = json.Add("groups", CJsonValue::MakeArray());
    int pos = 0;
    while (const CKeysAndActions* pGroup = log.GetNextWatchGroup(pos))
        groups.Push(GroupToJson(*pGroup, Item(Member(path, "groups"), groups.m_items.size())));
    return json;
}

// ---------------------------------------------------------------- reading

constexpr std::int64_t INT32_LOW = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t INT32_HIGH = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t UINT32_HIGH = std::numeric_limits<std::uint32_t>::max();

// The members of one JSON object: each getter marks its member as known and
// leaves the target alone when the member is missing; Finish refuses the
// members nobody asked for.
class CObjectReader {
public:
    CObjectReader(const CJsonValue& value, std::string path)
        : m_value(value), m_strPath(std::move(path))
    {
        if (!value.IsObject())
            Fail(value.m_pos, m_strPath,
                 std::string("expected an object, found ") + CJsonValue::TypeName(value.GetType()));
        m_used.assign(value.m_members.size(), false);
    }

    const std::string& GetPath() const { return m_strPath; }
    std::string PathOf(std::string_view name) const { return Member(m_strPath, name); }

    const CJsonValue* Find(std::string_view name)
    {
        for (std::size_t i = 0; i < m_value.m_members.size(); ++i) {
            if (m_value.m_members[i].m_strName == name) {
                m_used[i] = true;
                return &m_value.m_members[i].m_value;
            }
        }
        return nullptr;
    }

    const CJsonValue& Require(std::string_view name)
    {
        const CJsonValue* pValue = Find(name);
        if (!pValue)
            Fail(m_value.m_pos, m_strPath, "missing member " + Quoted(name));
        return *pValue;
    }

    const CJsonValue* Typed(std::string_view name, CJsonValue::Type type)
    {
        const CJsonValue* pValue = Find(name);
        if (pValue && pValue->GetType() != type)
            Fail(pValue->m_pos, PathOf(name),
                 std::string("expected ") + CJsonValue::TypeName(type) + ", found " +
                     CJsonValue::TypeName(pValue->GetType()));
        return pValue;
    }

    void Bool(std::string_view name, BOOL& b)
    {
        if (const CJsonValue* pValue = Typed(name, CJsonValue::Type::Bool))
            b = pValue->m_bValue ? TRUE : FALSE;
    }

    void String(std::string_view name, std::string& s)
    {
        if (const CJsonValue* pValue = Typed(name, CJsonValue::Type::String))
            s = pValue->m_strValue;
    }

    // A string handed to the task library (no NUL byte).
    void TaskText(std::string_view name, std::string& s)
    {
        String(name, s);
        if (s.find('\0') != std::string::npos)
            Fail(Find(name)->m_pos, PathOf(name), "a task text cannot hold a NUL byte");
    }

    template <class T> void Integer(std::string_view name, T& n)
    {
        if (const CJsonValue* pValue = Find(name))
            n = static_cast<T>(ToInteger(*pValue, PathOf(name), std::is_signed_v<T>));
    }

    void Time(std::string_view name, CTime& t)
    {
        if (const CJsonValue* pValue = Find(name))
            t = CTime(ToInteger(*pValue, PathOf(name), true));
    }

    static std::int64_t ToInteger(const CJsonValue& value, const std::string& path, bool bSigned)
    {
        const std::int64_t low = bSigned ? INT32_LOW : 0;
        const std::int64_t high = bSigned ? INT32_HIGH : UINT32_HIGH;
        std::optional<std::int64_t> n = value.AsInteger(low, high);
        if (!n)
            Fail(value.m_pos, path,
                 "expected a whole number from " + std::to_string(low) + " to " +
                     std::to_string(high) + ", found " + Describe(value));
        return *n;
    }

    // A found value as messages show it: a number or string itself, else
    // its type.
    static std::string Describe(const CJsonValue& value)
    {
        if (value.GetType() == CJsonValue::Type::Number)
            return value.m_strValue;
        if (value.GetType() == CJsonValue::Type::String)
            return Quoted(value.m_strValue);
        return CJsonValue::TypeName(value.GetType());
    }

    // The items of an array member (none when it is missing), each with its
    // path.
    template <class F> void ForEach(std::string_view name, F&& f)
    {
        if (const CJsonValue* pArray = Typed(name, CJsonValue::Type::Array)) {
            for (std::size_t i = 0; i < pArray->m_items.size(); ++i)
                f(pArray->m_items[i], Item(PathOf(name), i));
        }
    }

    // One of the names, by index; the member is required when bRequired.
    std::size_t Choice(std::string_view name, const char* const* names, std::size_t nNames,
                       bool bRequired, std::size_t nDefault = 0)
    {
        const CJsonValue* pValue = bRequired ? &Require(name) : Find(name);
        if (!pValue)
            return nDefault;
        std::string list;
        for (std::size_t i = 0; i < nNames; ++i) {
            if (pValue->GetType() == CJsonValue::Type::String && pValue->m_strValue == names[i])
                return i;
            list += (i ? ", " : "") + std::string(names[i]);
        }
        Fail(pValue->m_pos, PathOf(name),
             "expected one of " + list + ", found " + Describe(*pValue));
    }

    void Finish() const
    {
        for (std::size_t i = 0; i < m_used.size(); ++i) {
            if (!m_used[i])
                Fail(m_value.m_members[i].m_pos, m_strPath,
                     "unknown member " + Quoted(m_value.m_members[i].m_strName));
        }
    }

private:
    const CJsonValue& m_value;
    std::string m_strPath;
    std::vector<bool> m_used;
};

std::string UnhexBytes(const CJsonValue& value, const std::string& path);

// A string item of an array (no NUL byte).
std::string StringItem(const CJsonValue& item, const std::string& path)
{
    if (item.GetType() != CJsonValue::Type::String ||
        item.m_strValue.find('\0') != std::string::npos)
        Fail(item.m_pos, path, "expected a string without NUL bytes");
    return item.m_strValue;
}

// The time-out and TLS checks of an action that connects to a server.
template <class Action> void ConnectionFromJson(CObjectReader& in, Action& action)
{
    in.Integer("timeout", action.m_dwTimeout);
    in.Bool("verifyTls", action.m_bVerifyTls);
    in.TaskText("caFile", action.m_strCaFile);
}

// At most one of password, passwordScrambled, passwordFile, passwordEnv.
void SecretFromJson(CObjectReader& in, CSecret& secret)
{
    static constexpr const char* names[] = {"password", "passwordScrambled", "passwordFile",
                                            "passwordEnv"};
    const CJsonValue* pFound = nullptr;
    std::size_t nFound = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        if (const CJsonValue* pValue = in.Find(names[i])) {
            if (pFound)
                Fail(pValue->m_pos, in.GetPath(),
                     "give one of 'password', 'passwordScrambled', 'passwordFile' and "
                     "'passwordEnv'");
            pFound = pValue;
            nFound = i;
        }
    }
    if (!pFound)
        return;
    if (nFound == 1) {
        secret = CSecret(CSecret::Inline, ScrambleSecret(UnhexBytes(*pFound, in.PathOf(names[1]))));
        return;
    }
    if (pFound->GetType() != CJsonValue::Type::String ||
        pFound->m_strValue.find('\0') != std::string::npos)
        Fail(pFound->m_pos, in.PathOf(names[nFound]), "expected a string without NUL bytes");
    secret = CSecret(nFound == 0   ? CSecret::Inline
                     : nFound == 2 ? CSecret::File
                                   : CSecret::Environment,
                     pFound->m_strValue);
}

std::unique_ptr<CSearchKey> EventKeyFromJson(CObjectReader& in)
{
    auto pKey = std::make_unique<CSearchKeyEvent>();
    for (const CEventField& field : g_eventFields) {
        const CJsonValue* pField = in.Find(field.m_pszName);
        if (!pField)
            continue;
        CObjectReader fieldIn(*pField, in.PathOf(field.m_pszName));
        const CJsonValue& opValue = fieldIn.Require("op");
        DWORD op = OP_NONE;
        for (DWORD k = 1; k <= OP_REGEX; ++k) {
            if ((field.m_nAllowed & OpBit(k)) && opValue.GetType() == CJsonValue::Type::String &&
                opValue.m_strValue == OpName(field, k))
                op = k;
        }
        if (op == OP_NONE)
            Fail(opValue.m_pos, fieldIn.PathOf("op"),
                 "expected one of " + AllowedOps(field) + ", found " +
                     CObjectReader::Describe(opValue));
        std::size_t nValues = 0;
        if (field.m_pStrings || field.m_pNumbers) {
            fieldIn.ForEach("values", [&](const CJsonValue& item, const std::string& path) {
                if (field.m_pNumbers) {
                    (pKey.get()->*field.m_pNumbers)
                        .push_back(static_cast<DWORD>(CObjectReader::ToInteger(item, path, false)));
                } else if (item.GetType() == CJsonValue::Type::String) {
                    (pKey.get()->*field.m_pStrings).push_back(item.m_strValue);
                } else {
                    Fail(item.m_pos, path,
                         std::string("expected a string, found ") +
                             CJsonValue::TypeName(item.GetType()));
                }
                ++nValues;
            });
            if (std::string why = CheckEventField(field, op, nValues); !why.empty())
                Fail(pField->m_pos, fieldIn.GetPath(), why);
        } else {
            fieldIn.String("value", pKey->m_strText);
        }
        fieldIn.Finish();
        pKey->m_dwOperators |= op << field.m_nShift;
    }
    // A pattern that does not compile loads as a workspace file holding it
    // does: the key is broken and says so.
    if (pKey->GetTextOperator() == OP_REGEX)
        pKey->SetTextRegex(pKey->m_strText);
    return pKey;
}

std::unique_ptr<CSearchKey> KeyFromJson(const CJsonValue& value, const std::string& path)
{
    static constexpr const char* kinds[] = {"text", "event", "regex"};
    CObjectReader in(value, path);
    std::unique_ptr<CSearchKey> pResult;
    const std::size_t nKind = in.Choice("kind", kinds, 3, true);
    if (nKind == 1) {
        pResult = EventKeyFromJson(in);
    } else if (nKind == 2) {
        std::string pattern;
        BOOL bCase = FALSE;
        in.String("pattern", pattern);
        in.Bool("caseSensitive", bCase);
        pResult = std::make_unique<CSearchKeyRegex>(std::move(pattern), bCase != 0);
    } else {
        auto pKey = std::make_unique<CSearchKeyText>();
        pKey->m_nMode = static_cast<TextKeyMode>(
            in.Choice("mode", g_modeNames.data(), g_modeNames.size(), false));
        in.Bool("caseSensitive", pKey->m_bCaseSensitive);
        in.String("key1", pKey->m_strKey1);
        in.String("key2", pKey->m_strKey2);
        pResult = std::move(pKey);
    }
    in.Finish();
    return pResult;
}

void ActionFromJson(const CJsonValue& value, const std::string& path, CTask& task)
{
    static constexpr const char* kinds[] = {"message", "writefile", "run",         "email",
                                            "webhook", "syslog",    "notification"};
    CObjectReader in(value, path);
    std::string text;
    std::string place;
    switch (in.Choice("kind", kinds, 7, true)) {
    case 3: {
        static constexpr const char* tls[] = {"required", "optional", "never"};
        CSendMail action;
        in.TaskText("server", action.m_strServer);
        action.m_nStartTls = static_cast<CSendMail::StartTls>(in.Choice("starttls", tls, 3, false));
        in.TaskText("user", action.m_strUser);
        SecretFromJson(in, action.m_password);
        in.TaskText("from", action.m_strFrom);
        in.ForEach("to", [&](const CJsonValue& item, const std::string& itemPath) {
            action.m_arrTo.push_back(StringItem(item, itemPath));
        });
        in.TaskText("subject", action.m_strSubject);
        in.TaskText("body", action.m_strBody);
        ConnectionFromJson(in, action);
        in.Finish();
        task.AddAction(action);
        break;
    }
    case 4: {
        static constexpr const char* methods[] = {"POST", "PUT"};
        static constexpr const char* formats[] = {"json", "slack", "teams", "custom"};
        CWebHook action;
        in.TaskText("url", action.m_strUrl);
        action.m_strMethod = methods[in.Choice("method", methods, 2, false)];
        action.m_strFormat = formats[in.Choice("format", formats, 4, false)];
        in.TaskText("body", action.m_strBody);
        in.ForEach("headers", [&](const CJsonValue& item, const std::string& itemPath) {
            action.m_arrHeaders.push_back(StringItem(item, itemPath));
        });
        in.TaskText("user", action.m_strUser);
        SecretFromJson(in, action.m_password);
        ConnectionFromJson(in, action);
        in.Finish();
        task.AddAction(action);
        break;
    }
    case 5: {
        static constexpr const char* protocols[] = {"udp", "tcp"};
        CSyslogForward action;
        in.TaskText("host", action.m_strHost);
        in.Integer("port", action.m_dwPort);
        action.m_strProtocol = protocols[in.Choice("protocol", protocols, 2, false)];
        if (const CJsonValue* pFacility = in.Find("facility")) {
            const int n = pFacility->GetType() == CJsonValue::Type::String
                              ? SyslogFacilityFromName(pFacility->m_strValue)
                              : -1;
            if (n < 0)
                Fail(pFacility->m_pos, in.PathOf("facility"),
                     "expected a facility name (kern ... local7), found " +
                         CObjectReader::Describe(*pFacility));
            action.m_dwFacility = static_cast<DWORD>(n);
        }
        if (const CJsonValue* pSeverity = in.Find("severity")) {
            const bool bString = pSeverity->GetType() == CJsonValue::Type::String;
            const int n = bString && pSeverity->m_strValue == "auto" ? -1
                          : bString ? SyslogSeverityFromName(pSeverity->m_strValue)
                                    : -2;
            if (n < -1)
                Fail(pSeverity->m_pos, in.PathOf("severity"),
                     "expected auto or a severity name (emerg ... debug), found " +
                         CObjectReader::Describe(*pSeverity));
            action.m_nSeverity = n;
        }
        in.TaskText("message", action.m_strMessage);
        in.Integer("maxLength", action.m_dwMaxLength);
        in.Integer("timeout", action.m_dwTimeout);
        in.Finish();
        task.AddAction(action);
        break;
    }
    case 6: {
        CDesktopNotification action;
        in.TaskText("summary", action.m_strSummary);
        in.TaskText("body", action.m_strBody);
        in.Finish();
        task.AddAction(action);
        break;
    }
    case 0: {
        CDisplayMessage action;
        in.TaskText("text", text);
        action.SetMessage(text.c_str());
        in.Finish();
        task.AddAction(action);
        break;
    }
    case 1: {
        CWriteToFile action;
        in.TaskText("path", place);
        in.TaskText("text", text);
        action.SetPath(place.c_str());
        action.SetText(text.c_str());
        in.Finish();
        task.AddAction(action);
        break;
    }
    default: {
        CRunProgram action;
        BOOL bWait = FALSE;
        DWORD dwTimeout = 0;
        in.TaskText("command", text);
        in.TaskText("directory", place);
        in.Bool("wait", bWait);
        in.Integer("timeout", dwTimeout);
        action.SetCommand(text.c_str());
        action.SetDirectory(place.c_str());
        action.SetWait(bWait);
        action.SetTimeout(dwTimeout);
        in.Finish();
        task.AddAction(action);
        break;
    }
    }
}

void TaskFromJson(const CJsonValue& value, const std::string& path, CTask& task)
{
    CObjectReader in(value, path);
    std::string description = task.GetDescription();
    in.TaskText("description", description);
    task.SetDescription(description.c_str());
    if (const CJsonValue* pVariables = in.Typed("variables", CJsonValue::Type::Object)) {
        for (const CJsonMember& member : pVariables->m_members) {
            const std::string variablePath =
                in.PathOf("variables") + "[" + Quoted(member.m_strName) + "]";
            if (member.m_strName.empty() || member.m_strName.find('\0') != std::string::npos)
                Fail(member.m_pos, variablePath, "not a variable name");
            if (CTaskVariables::IsTriggerVariable(member.m_strName))
                Fail(member.m_pos, variablePath, "filled by each trigger, never kept in the task");
            const CJsonValue& v = member.m_value;
            if (v.GetType() != CJsonValue::Type::String ||
                v.m_strValue.find('\0') != std::string::npos)
                Fail(v.m_pos, variablePath, "expected a string without NUL bytes");
            task.SetTranslationString(member.m_strName.c_str(), v.m_strValue.c_str());
        }
    }
    in.ForEach("actions", [&](const CJsonValue& item, const std::string& itemPath) {
        ActionFromJson(item, itemPath, task);
    });
    in.Finish();
}

std::unique_ptr<CKeysAndActions> GroupFromJson(const CJsonValue& value, const std::string& path)
{
    CObjectReader in(value, path);
    auto pGroup = std::make_unique<CKeysAndActions>();
    in.String("description", pGroup->m_strDescription);
    in.Bool("minInterval", pGroup->m_bMinInterval);
    in.Integer("minIntervalMinutes", pGroup->m_nMinIntervalMinutes);
    CGroupRules& rules = pGroup->m_rules;
    BOOL bThreshold = FALSE;
    BOOL bSilence = FALSE;
    in.Bool("threshold", bThreshold);
    in.Integer("thresholdCount", rules.m_threshold.nCount);
    in.Integer("thresholdSeconds", rules.m_threshold.nSeconds);
    in.String("thresholdPer", rules.m_threshold.strPer);
    in.Bool("silence", bSilence);
    in.Integer("silenceMinutes", rules.m_silence.nMinutes);
    in.String("silenceBy", rules.m_silence.strBy);
    in.ForEach("silenceWeekdays", [&](const CJsonValue& item, const std::string& itemPath) {
        rules.m_silence.weekdays.push_back(
            static_cast<int>(CObjectReader::ToInteger(item, itemPath, true)));
    });
    rules.m_threshold.bEnabled = bThreshold != FALSE;
    rules.m_silence.bEnabled = bSilence != FALSE;
    if (std::string why = rules.Validate(); !why.empty())
        Fail(value.m_pos, path, why);
    in.Bool("digest", pGroup->m_bDigest);
    in.Integer("digestRuns", pGroup->m_nDigestRuns);
    in.Integer("digestMinutes", pGroup->m_nDigestMinutes);
    if (const CJsonValue* pState = in.Typed("digestState", CJsonValue::Type::Object)) {
        CObjectReader stateIn(*pState, in.PathOf("digestState"));
        CDigestState::CData data;
        LONG nStart = 0, nFirst = 0, nLast = 0;
        stateIn.Integer("periodStart", nStart);
        stateIn.Integer("runs", data.nRuns);
        stateIn.Integer("held", data.nHeld);
        stateIn.Integer("firstHeld", nFirst);
        stateIn.Integer("lastHeld", nLast);
        data.nPeriodStart = nStart;
        data.nFirstHeld = nFirst;
        data.nLastHeld = nLast;
        if (const CJsonValue* pVars = stateIn.Typed("variables", CJsonValue::Type::Object))
            for (const CJsonMember& member : pVars->m_members)
                if (member.m_value.GetType() == CJsonValue::Type::String)
                    data.mapHeld[member.m_strName] = member.m_value.m_strValue;
        stateIn.Finish();
        pGroup->m_digest.SetData(data);
    }
    in.ForEach("keys", [&](const CJsonValue& item, const std::string& itemPath) {
        pGroup->AddKey(KeyFromJson(item, itemPath).release());
    });
    if (const CJsonValue* pTask = in.Find("task"))
        TaskFromJson(*pTask, in.PathOf("task"), pGroup->m_task);
    in.Finish();
    return pGroup;
}

std::string UnhexBytes(const CJsonValue& value, const std::string& path)
{
    static constexpr std::string_view digits = "0123456789abcdef";
    std::string bytes;
    bool bGood = value.GetType() == CJsonValue::Type::String && value.m_strValue.size() % 2 == 0;
    for (std::size_t i = 0; bGood && i < value.m_strValue.size(); i += 2) {
        const std::size_t hi = digits.find(
            static_cast<char>(std::tolower(static_cast<unsigned char>(value.m_strValue[i]))));
        const std::size_t lo = digits.find(
            static_cast<char>(std::tolower(static_cast<unsigned char>(value.m_strValue[i + 1]))));
        bGood = hi != std::string_view::npos && lo != std::string_view::npos;
        bytes += static_cast<char>(hi * 16 + lo);
    }
    if (!bGood)
        Fail(value.m_pos, path, "expected a string of hexadecimal byte pairs");
    return bytes;
}

std::unique_ptr<CMonitoredObject> LogFromJson(const CJsonValue& value, const std::string& path)
{
    static constexpr const char* kinds[] = {"text", "event", "journal", "evtx"};
    CObjectReader in(value, path);
    std::unique_ptr<CMonitoredObject> pLog;
    const std::size_t nKind = in.Choice("kind", kinds, 4, true);
    if (nKind == 3) {
        auto pEvtx = std::make_unique<CEvtxMonitor>();
        in.String("path", pEvtx->m_strPath);
        if (const CJsonValue* pLast = in.Find("lastRecord")) {
            std::optional<std::int64_t> n =
                pLast->AsInteger(0, std::numeric_limits<std::int64_t>::max());
            if (!n)
                Fail(pLast->m_pos, in.PathOf("lastRecord"), "expected a record identifier from 0");
            pEvtx->m_nLastRecord = static_cast<std::uint64_t>(*n);
        }
        pLog = std::move(pEvtx);
    } else if (nKind == 2) {
        auto pJournal = std::make_unique<CJournalMonitor>();
        in.String("directory", pJournal->m_strDirectory);
        in.ForEach("matches", [&](const CJsonValue& item, const std::string& itemPath) {
            if (item.GetType() != CJsonValue::Type::String)
                Fail(item.m_pos, itemPath,
                     "expected a match such as \"_SYSTEMD_UNIT=ssh.service\"");
            pJournal->m_arrMatches.push_back(item.m_strValue);
        });
        std::vector<CJournalMatch> matches;
        std::string strError;
        if (!ParseJournalMatches(pJournal->m_arrMatches, matches, strError))
            Fail(in.Find("matches")->m_pos, in.PathOf("matches"), strError);
        in.String("cursor", pJournal->m_strCursor);
        in.Bool("readExisting", pJournal->m_bReadExisting);
        pLog = std::move(pJournal);
    } else if (nKind == 1) {
        auto pEvent = std::make_unique<CEventMonitor>();
        in.String("computer", pEvent->m_strServer);
        in.String("log", pEvent->m_strLogName);
        in.Integer("lastRecord", pEvent->m_nLastRecord);
        pLog = std::move(pEvent);
    } else {
        auto pText = std::make_unique<CFileMonitor>();
        in.String("description", pText->m_strShortDescription);
        in.String("directory", pText->m_strDirectory);
        in.String("fileName", pText->m_strFileName);
        in.Integer("position", pText->m_dwPosition);
        in.Integer("lastSize", pText->m_dwLastSize);
        in.Bool("formattedName", pText->m_bFormattedName);
        in.String("template", pText->m_strTemplate);
        pLog = std::move(pText);
    }
    in.Bool("enabled", pLog->m_bEnabled);
    in.Integer("interval", pLog->m_nInterval);
    in.Time("lastScanned", pLog->m_timeLastScanned);
    in.Time("lastChanged", pLog->m_timeLastChanged);
    in.Bool("impersonate", pLog->m_bImpersonate);
    in.String("user", pLog->m_strLogonUser);
    in.String("domain", pLog->m_strLogonDomain);
    in.String("password", pLog->m_strLogonPassword);
    if (const CJsonValue* pScrambled = in.Find("passwordScrambled")) {
        if (in.Find("password"))
            Fail(pScrambled->m_pos, path,
                 "give either 'password' or 'passwordScrambled', not both");
        pLog->m_strLogonPassword =
            ScrambleText(UnhexBytes(*pScrambled, in.PathOf("passwordScrambled")));
    }
    in.ForEach("groups", [&](const CJsonValue& item, const std::string& itemPath) {
        pLog->AddWatchGroup(GroupFromJson(item, itemPath).release());
    });
    in.Finish();
    return pLog;
}

} // namespace

std::string WorkspaceToJson(const CMonManager& manager)
{
    CJsonValue json = CJsonValue::MakeObject();
    CJsonValue& logs = json.Add("logs", CJsonValue::MakeArray());
    int pos = 0;
    while (const CMonitoredObject* pLog = manager.GetNextLog(pos))
        logs.Push(LogToJson(*pLog, Item("logs", logs.m_items.size())));
    return WriteJson(json);
}

std::unique_ptr<CMonManager> WorkspaceFromJson(std::string_view text)
{
    const CJsonValue json = ParseJson(text);
    CObjectReader in(json, "");
    auto pManager = std::make_unique<CMonManager>();
    in.ForEach("logs", [&](const CJsonValue& item, const std::string& path) {
        pManager->AddLog(LogFromJson(item, path).release());
    });
    in.Finish();
    return pManager;
}
