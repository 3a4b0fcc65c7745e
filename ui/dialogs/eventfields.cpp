#include "ui/dialogs/eventfields.h"

#include "match/searchkeyevent.h"

const char* GetFieldLabel(EventField field)
{
    switch (field) {
    case EventField::TYPE:
        return "Event Type";
    case EventField::SOURCE:
        return "Source";
    case EventField::CATEGORY:
        return "Category ID";
    case EventField::EVENTID:
        return "Event ID";
    case EventField::USER:
        return "User";
    case EventField::COMPUTER:
        return "Computer";
    case EventField::TEXT:
        return "Event Text";
    }
    return "";
}

bool IsStringField(EventField field)
{
    return field == EventField::SOURCE || field == EventField::USER ||
           field == EventField::COMPUTER;
}

bool IsNumberField(EventField field)
{
    return field == EventField::CATEGORY || field == EventField::EVENTID;
}

CFieldCriterion GetFieldCriterion(const CSearchKeyEvent& key, EventField field)
{
    CFieldCriterion c;
    switch (field) {
    case EventField::TYPE:
        c.nOperator = key.GetTypeOperator();
        c.arrNumbers = key.m_arrTypes;
        break;
    case EventField::SOURCE:
        c.nOperator = key.GetSourceOperator();
        c.arrStrings = key.m_arrSources;
        break;
    case EventField::CATEGORY:
        c.nOperator = key.GetCategoryOperator();
        c.arrNumbers = key.m_arrCategories;
        break;
    case EventField::EVENTID:
        c.nOperator = key.GetEventIDOperator();
        c.arrNumbers = key.m_arrEventIDs;
        break;
    case EventField::USER:
        c.nOperator = key.GetUserOperator();
        c.arrStrings = key.m_arrUsers;
        break;
    case EventField::COMPUTER:
        c.nOperator = key.GetComputerOperator();
        c.arrStrings = key.m_arrComputers;
        break;
    case EventField::TEXT:
        c.nOperator = key.GetTextOperator();
        c.strText = key.m_strText;
        break;
    }
    return c;
}

namespace {

using StringValue = void (CSearchKeyEvent::*)(const std::string&, BOOL);
using StringList = void (CSearchKeyEvent::*)(const std::vector<std::string>&, BOOL);
using NumberValue = void (CSearchKeyEvent::*)(DWORD, BOOL);
using NumberList = void (CSearchKeyEvent::*)(const std::vector<DWORD>&, BOOL);
using NumberRange = void (CSearchKeyEvent::*)(DWORD, DWORD, BOOL);
using NumberBound = void (CSearchKeyEvent::*)(DWORD);
using Clear = void (CSearchKeyEvent::*)();

struct NumberSetters {
    Clear clear;
    NumberValue value;
    NumberList list;
    NumberRange range;
    NumberBound atLeast;
    NumberBound atMost;
};

void ApplyStrings(CSearchKeyEvent& key, const CFieldCriterion& c, Clear clear, StringValue value,
                  StringList list)
{
    const BOOL bNegate = c.nOperator == OP_NOT_EQUAL || c.nOperator == OP_NOT_ONE_OF;
    if ((c.nOperator == OP_EQUAL || c.nOperator == OP_NOT_EQUAL) && !c.arrStrings.empty())
        (key.*value)(c.arrStrings.front(), bNegate);
    else if (c.nOperator == OP_ONE_OF || c.nOperator == OP_NOT_ONE_OF)
        (key.*list)(c.arrStrings, bNegate);
    else
        (key.*clear)();
}

void ApplyNumbers(CSearchKeyEvent& key, const CFieldCriterion& c, const NumberSetters& set)
{
    const auto& v = c.arrNumbers;
    switch (c.nOperator) {
    case OP_EQUAL:
    case OP_NOT_EQUAL:
        if (!v.empty())
            return (key.*set.value)(v[0], c.nOperator == OP_NOT_EQUAL);
        break;
    case OP_AT_LEAST:
        if (!v.empty() && set.atLeast)
            return (key.*set.atLeast)(v[0]);
        break;
    case OP_AT_MOST:
        if (!v.empty() && set.atMost)
            return (key.*set.atMost)(v[0]);
        break;
    case OP_BETWEEN:
    case OP_NOT_BETWEEN:
        if (v.size() >= 2 && set.range)
            return (key.*set.range)(v[0], v[1], c.nOperator == OP_NOT_BETWEEN);
        break;
    case OP_ONE_OF:
    case OP_NOT_ONE_OF:
        return (key.*set.list)(v, c.nOperator == OP_NOT_ONE_OF);
    default:
        break;
    }
    (key.*set.clear)();
}

} // namespace

void ApplyFieldCriterion(CSearchKeyEvent& key, EventField field, const CFieldCriterion& c)
{
    using K = CSearchKeyEvent;
    switch (field) {
    case EventField::SOURCE:
        ApplyStrings(key, c, &K::ClearSource, &K::SetSourceValue, &K::SetSourceList);
        break;
    case EventField::USER:
        ApplyStrings(key, c, &K::ClearUser, &K::SetUserValue, &K::SetUserList);
        break;
    case EventField::COMPUTER:
        ApplyStrings(key, c, &K::ClearComputer, &K::SetComputerValue, &K::SetComputerList);
        break;
    case EventField::CATEGORY:
        ApplyNumbers(key, c,
                     {&K::ClearCategory, &K::SetCategoryValue, &K::SetCategoryList,
                      &K::SetCategoryRange, &K::SetCategoryAtLeast, &K::SetCategoryAtMost});
        break;
    case EventField::EVENTID:
        ApplyNumbers(key, c,
                     {&K::ClearEventID, &K::SetEventIDValue, &K::SetEventIDList,
                      &K::SetEventIDRange, &K::SetEventIDAtLeast, &K::SetEventIDAtMost});
        break;
    case EventField::TYPE:
        ApplyNumbers(key, c,
                     {&K::ClearType, &K::SetTypeValue, &K::SetTypeList, nullptr, nullptr, nullptr});
        break;
    case EventField::TEXT:
        if (c.nOperator == OP_CONTAINS)
            key.SetText(c.strText);
        else if (c.nOperator == OP_REGEX)
            key.SetTextRegex(c.strText);
        else
            key.ClearText();
        break;
    }
}

std::string DescribeField(const CSearchKeyEvent& key, EventField field)
{
    CSearchKeyEvent single;
    ApplyFieldCriterion(single, field, GetFieldCriterion(key, field));
    return single.GetDescription();
}
