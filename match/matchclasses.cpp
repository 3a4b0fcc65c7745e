#include "match/matchclasses.h"

#include "match/searchkey.h"
#include "match/searchkeyevent.h"
#include "match/searchkeyregex.h"
#include "match/searchkeytext.h"

void RegisterMatchClasses()
{
    CRuntimeClass::Register(RUNTIME_CLASS(CSearchKey));
    CRuntimeClass::Register(RUNTIME_CLASS(CSearchKeyText));
    CRuntimeClass::Register(RUNTIME_CLASS(CSearchKeyEvent));
    CRuntimeClass::Register(RUNTIME_CLASS(CSearchKeyRegex));
}
