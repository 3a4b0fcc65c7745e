#include "eventrecords/recordclasses.h"

#include "eventrecords/eventstruct.h"

void RegisterEventRecordClasses()
{
    CRuntimeClass::Register(RUNTIME_CLASS(CEventStruct));
}
