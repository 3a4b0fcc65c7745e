#include "eventlog/records/recordclasses.h"

#include "eventlog/records/eventstruct.h"

void RegisterEventRecordClasses() { CRuntimeClass::Register(RUNTIME_CLASS(CEventStruct)); }
