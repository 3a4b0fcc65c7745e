#pragma once
// The clipboard service: registered clipboard formats, the clipboard
// interface that the model and the views use, and an in-process
// implementation. The Qt front end implements IClipboard on the desktop
// clipboard, carrying each registered format as the MIME type that
// ClipboardFormatMimeType gives ("CF_BN_TASK" is
// "application/x-quorvil-cf-bn-task") with the same bytes.
//
// Format registration and GetClipboard/SetClipboard may be called from any
// thread. The in-process clipboard may be used from any thread, one opener
// at a time; the Qt one only from the user interface thread.
#include <string>
#include <string_view>

#include "platform/base/win32types.h"
#include "platform/clipboard/globalmem.h"

// The standard plain-text format (8-bit text, NUL-terminated).
constexpr UINT CF_TEXT = 1;
// Returned by clipboard operations that need an open clipboard.
constexpr DWORD ERROR_CLIPBOARD_NOT_OPEN = 1418;

// RegisterClipboardFormat: the number of a named format, from 0xC000 up; a
// name registered again (in any letter case) gives the same number. 0 with
// ERROR_INVALID_PARAMETER for an empty name or when the numbers run out.
UINT RegisterClipboardFormat(std::string_view name);
// The name as first registered; empty for a number that is not registered.
std::string GetClipboardFormatName(UINT uFormat);
// "text/plain" for CF_TEXT; "application/x-quorvil-" and the registered name
// in lower case with '_' as '-' for a registered format; else empty.
std::string ClipboardFormatMimeType(UINT uFormat);
// The format whose MIME type this is, or 0.
UINT ClipboardFormatFromMimeType(std::string_view mimeType);

// The eight formats of Quorvil's own clipboard data.
enum class BnClipFormat {
    MONEVENTLOG,    // "CF_BN_MONEVENTLOG": an event log
    MONTEXTLOG,     // "CF_BN_MONTEXTLOG": a text log
    WATCHEVENT,     // "CF_BN_WATCHEVENT": a watch group of an event log
    WATCHTEXT,      // "CF_BN_WATCHTEXT": a watch group of a text log
    TASK,           // "CF_BN_TASK": a task
    SEARCHKEYEVENT, // "CF_BN_SEARCHKEYEVENT": an event search key
    SEARCHKEYTEXT,  // "CF_BN_SEARCHKEYTEXT": a text search key
    ACTION,         // "CF_BN_ACTION": registered, never placed or read
};
const char* GetBnClipFormatName(BnClipFormat format);
// Registers the eight names in the order above (done at start-up).
void RegisterBnClipFormats();
// The registered number of one of them (registering it if need be).
UINT GetBnClipFormat(BnClipFormat format);

// The operations of the system clipboard. Data is a block of global memory;
// each operation returns FALSE (or a null handle) on failure with the Win32
// last error set.
class IClipboard {
public:
    virtual ~IClipboard() = default;
    // OpenClipboard: FALSE (ERROR_ACCESS_DENIED) while another thread has it
    // open; opening again on the same thread succeeds.
    virtual BOOL Open() = 0;
    virtual BOOL Close() = 0;
    // EmptyClipboard: frees all data. Needs the clipboard open.
    virtual BOOL Empty() = 0;
    // SetClipboardData: replaces the data of the format and takes ownership
    // of hMem (on failure hMem stays with the caller). Needs it open.
    virtual BOOL SetData(UINT uFormat, CGlobalMemory&& hMem) = 0;
    // GetClipboardData: a copy of the data of the format, owned by the
    // caller; the null handle when there is none. Needs it open.
    virtual CGlobalMemory GetData(UINT uFormat) = 0;
    // IsClipboardFormatAvailable: no need to open.
    virtual BOOL IsFormatAvailable(UINT uFormat) = 0;
};

// The clipboard of this process alone: the default service, and the one
// tests and the headless program use.
class CMemoryClipboard : public IClipboard {
public:
    CMemoryClipboard();
    ~CMemoryClipboard() override;
    CMemoryClipboard(const CMemoryClipboard&) = delete;
    CMemoryClipboard& operator=(const CMemoryClipboard&) = delete;

    BOOL Open() override;
    BOOL Close() override;
    BOOL Empty() override;
    BOOL SetData(UINT uFormat, CGlobalMemory&& hMem) override;
    CGlobalMemory GetData(UINT uFormat) override;
    BOOL IsFormatAvailable(UINT uFormat) override;

private:
    struct CState;
    std::unique_ptr<CState> m_pState;
};

// The clipboard service in use. SetClipboard installs another (it must
// outlive its use); null goes back to the process's CMemoryClipboard.
IClipboard& GetClipboard();
void SetClipboard(IClipboard* pClipboard);
