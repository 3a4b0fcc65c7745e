#pragma once
// Message modules with the Windows calls that use them: a module loaded as
// a data file (LoadLibraryExA / FreeLibrary) and FormatMessageA with its
// sources (a module, the system error table, a template string) and insert
// rules. Modules are PE images with RT_MESSAGETABLE resources (32- or
// 64-bit DLLs and EXEs) or message compiler sources (.mc); loads go through
// the process-wide CMessageModuleCache, which parses each file once.
//
// Every call may be made from any thread; failures set the calling thread's
// last error. A module handle is valid until FreeLibrary; a handle that is
// not (or no longer) loaded is refused with ERROR_INVALID_HANDLE, never
// dereferenced.
#include <span>
#include <string>

#include "platform/base/win32types.h"
#include "platform/msgmodule/messagetable.h"
#include "platform/msgmodule/msgformat.h"

struct HMODULE__;
using HMODULE = HMODULE__*;

constexpr DWORD LOAD_LIBRARY_AS_DATAFILE = 0x00000002;
constexpr DWORD LOAD_LIBRARY_AS_IMAGE_RESOURCE = 0x00000020;
constexpr DWORD LOAD_LIBRARY_AS_DATAFILE_EXCLUSIVE = 0x00000040;

// Windows returns this with an empty formatted message.
constexpr DWORD ERROR_NO_WORK_DONE = 235;

// Loads the module at lpFileName as data. The name may be a UNC path
// (\\COMPUTER\SHARE\...) or a drive-letter path of the local computer,
// mapped to the network's folders (ERROR_BAD_NETPATH, ERROR_BAD_NET_NAME for
// an unknown computer or share). Only data-file loads exist here:
// dwFlags must hold one of the three flags above and hFile must be null
// (ERROR_INVALID_PARAMETER otherwise). Null on failure with the errors of
// CMessageModuleCache::Load: ERROR_FILE_NOT_FOUND for a missing file,
// ERROR_BAD_EXE_FORMAT for a file that is neither a PE image nor a source.
// A module without message table loads; formatting from it fails with
// ERROR_RESOURCE_TYPE_NOT_FOUND.
HMODULE LoadLibraryExA(const char* lpFileName, void* hFile, DWORD dwFlags);

// Releases a module handle: TRUE, or FALSE with ERROR_INVALID_HANDLE.
BOOL FreeLibrary(HMODULE hModule);

// Formats a message. dwFlags picks the source: FORMAT_MESSAGE_FROM_HMODULE
// (lpSource is the module; ID absent: ERROR_MR_MID_NOT_FOUND, no table:
// ERROR_RESOURCE_TYPE_NOT_FOUND, language absent:
// ERROR_RESOURCE_LANG_NOT_FOUND) or FORMAT_MESSAGE_FROM_STRING (lpSource is
// the template, a C string). dwLanguageId is a LANGID (0 or 0x400 for the
// usual choice).
//
// The inserts are always an array of 8-bit strings, whether or not
// FORMAT_MESSAGE_ARGUMENT_ARRAY is given; being counted, an insert number
// beyond them fails with ERROR_INVALID_PARAMETER. With
// FORMAT_MESSAGE_ALLOCATE_BUFFER, lpBuffer is really a char** that receives a
// buffer to release with LocalFree (nSize is the least size to allocate);
// otherwise lpBuffer holds nSize characters (ERROR_INSUFFICIENT_BUFFER when
// the text and its terminator do not fit). Returns the characters stored
// without the terminator, or 0 on failure; an empty message also returns 0,
// with ERROR_NO_WORK_DONE (and no buffer).
DWORD FormatMessageA(DWORD dwFlags, const void* lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                     char* lpBuffer, DWORD nSize, std::span<const char* const> arguments = {});

// The same into a string (FORMAT_MESSAGE_ALLOCATE_BUFFER and the buffer
// size play no part): the length of text, or 0 with the last error set as
// above, text then being empty.
DWORD FormatMessageString(DWORD dwFlags, const void* lpSource, DWORD dwMessageId,
                          DWORD dwLanguageId, std::string& text,
                          std::span<const char* const> arguments = {});

// Releases a buffer that FormatMessageA allocated; returns null.
void* LocalFree(void* hMem);
