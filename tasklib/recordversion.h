#pragma once
// The record version that starts the record of every persisted class of the
// task library.
#include "archive/archive.h"

// Storing: writes dwVersion and returns it. Loading: reads the stored version
// and returns it; a version of 0 or above dwVersion (written by a newer
// program) fails the read with CArchiveException::badSchema.
DWORD SerializeRecordVersion(CArchive& ar, DWORD dwVersion, const char* pszClass);
