#pragma once
// One field of an event search key as the key dialogs see it: its operator
// and values read out of the key, written back with the key's setters, and
// described on its own. Plain functions on the model's key; any thread that
// owns the key.
#include <string>
#include <vector>

#include "platform/base/win32types.h"

class CSearchKeyEvent;

// The seven fields in the order of the key dialog's boxes.
enum class EventField { TYPE, SOURCE, CATEGORY, EVENTID, USER, COMPUTER, TEXT };
inline constexpr EventField ALL_EVENT_FIELDS[] = {
    EventField::TYPE, EventField::SOURCE,   EventField::CATEGORY, EventField::EVENTID,
    EventField::USER, EventField::COMPUTER, EventField::TEXT};

// "Event Type", "Source", "Category ID", "Event ID", "User", "Computer",
// "Event Text": the field's label in "Extended Comparisons".
const char* GetFieldLabel(EventField field);
bool IsStringField(EventField field); // Source, User, Computer
bool IsNumberField(EventField field); // Category ID, Event ID

// A field's criterion: the operator code and its values. String fields use
// arrStrings, number fields and the event type arrNumbers (type bits), the
// event text strText.
struct CFieldCriterion {
    DWORD nOperator = 0;
    std::vector<std::string> arrStrings;
    std::vector<DWORD> arrNumbers;
    std::string strText;
};

CFieldCriterion GetFieldCriterion(const CSearchKeyEvent& key, EventField field);
// Sets the field through the key's setters: operator 0 clears it; a code
// the field does not take clears it as well.
void ApplyFieldCriterion(CSearchKeyEvent& key, EventField field, const CFieldCriterion& criterion);
// The field's part of the key's description; empty for an ignored field.
std::string DescribeField(const CSearchKeyEvent& key, EventField field);
