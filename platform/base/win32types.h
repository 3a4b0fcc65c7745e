#pragma once
// The fixed-width Windows types that the model and the stand-in services use,
// so that field sizes in stored records match their Windows originals.
#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = std::uint32_t;
using BOOL = std::int32_t;
using QWORD = std::uint64_t;
using WPARAM = std::uint64_t;
using LPARAM = std::int64_t;
// An opaque handle of a stand-in service (token, log, module, thread).
using HANDLE = void*;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

constexpr int MAX_PATH = 260;
