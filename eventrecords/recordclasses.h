#pragma once
// Registers the persistent class of the event records (CEventStruct) for
// creation by name (see archive/object.h); the program calls it at
// start-up, and readers of archives holding event records before reading.
void RegisterEventRecordClasses();
