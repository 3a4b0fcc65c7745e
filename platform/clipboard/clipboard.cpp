#include "platform/clipboard/clipboard.h"

#include <atomic>
#include <map>
#include <mutex>
#include <vector>

#include "platform/base/sync.h"
#include "platform/base/win32error.h"

namespace {

constexpr UINT FIRST_REGISTERED_FORMAT = 0xC000;
constexpr const char* MIME_PREFIX = "application/x-quorvil-";

char ToLowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerAscii(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = ToLowerAscii(c);
    return out;
}

struct CFormatRegistry {
    std::mutex mutex;
    std::vector<std::string> names;          // guarded by mutex; index + 0xC000 is the format
    std::map<std::string, UINT> byLowerName; // guarded by mutex
};

CFormatRegistry& Formats()
{
    static CFormatRegistry registry;
    return registry;
}

} // namespace

UINT RegisterClipboardFormat(std::string_view name)
{
    if (name.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    CFormatRegistry& formats = Formats();
    std::lock_guard lock(formats.mutex);
    std::string key = LowerAscii(name);
    auto it = formats.byLowerName.find(key);
    if (it != formats.byLowerName.end())
        return it->second;
    if (FIRST_REGISTERED_FORMAT + formats.names.size() > 0xFFFF) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    UINT uFormat = FIRST_REGISTERED_FORMAT + static_cast<UINT>(formats.names.size());
    formats.names.emplace_back(name);
    formats.byLowerName.emplace(std::move(key), uFormat);
    return uFormat;
}

std::string GetClipboardFormatName(UINT uFormat)
{
    CFormatRegistry& formats = Formats();
    std::lock_guard lock(formats.mutex);
    if (uFormat < FIRST_REGISTERED_FORMAT ||
        uFormat - FIRST_REGISTERED_FORMAT >= formats.names.size())
        return {};
    return formats.names[uFormat - FIRST_REGISTERED_FORMAT];
}

std::string ClipboardFormatMimeType(UINT uFormat)
{
    if (uFormat == CF_TEXT)
        return "text/plain";
    std::string name = GetClipboardFormatName(uFormat);
    if (name.empty())
        return {};
    std::string mime = MIME_PREFIX + LowerAscii(name);
    for (std::size_t i = std::string_view(MIME_PREFIX).size(); i < mime.size(); ++i) {
        if (mime[i] == '_')
            mime[i] = '-';
    }
    return mime;
}

UINT ClipboardFormatFromMimeType(std::string_view mimeType)
{
    if (mimeType == "text/plain")
        return CF_TEXT;
    if (!mimeType.starts_with(MIME_PREFIX))
        return 0;
    std::size_t nFormats;
    {
        CFormatRegistry& formats = Formats();
        std::lock_guard lock(formats.mutex);
        nFormats = formats.names.size();
    }
    for (UINT i = 0; i < nFormats; ++i) {
        if (ClipboardFormatMimeType(FIRST_REGISTERED_FORMAT + i) == mimeType)
            return FIRST_REGISTERED_FORMAT + i;
    }
    return 0;
}

const char* GetBnClipFormatName(BnClipFormat format)
{
    static constexpr const char* names[] = {
        "CF_BN_MONEVENTLOG", "CF_BN_MONTEXTLOG",     "CF_BN_WATCHEVENT",    "CF_BN_WATCHTEXT",
        "CF_BN_TASK",        "CF_BN_SEARCHKEYEVENT", "CF_BN_SEARCHKEYTEXT", "CF_BN_ACTION"};
    return names[static_cast<int>(format)];
}

void RegisterBnClipFormats()
{
    for (int i = 0; i <= static_cast<int>(BnClipFormat::ACTION); ++i)
        GetBnClipFormat(static_cast<BnClipFormat>(i));
}

UINT GetBnClipFormat(BnClipFormat format)
{
    return RegisterClipboardFormat(GetBnClipFormatName(format));
}

// ------------------------------------------------------------- the clipboard

struct CMemoryClipboard::CState {
    std::mutex mutex;
    DWORD dwOpenThread = 0;             // guarded by mutex; 0: closed
    std::map<UINT, CGlobalMemory> data; // guarded by mutex
};

CMemoryClipboard::CMemoryClipboard() : m_pState(std::make_unique<CState>()) {}

CMemoryClipboard::~CMemoryClipboard() = default;

BOOL CMemoryClipboard::Open()
{
    std::lock_guard lock(m_pState->mutex);
    DWORD dwThread = GetCurrentThreadId();
    if (m_pState->dwOpenThread != 0 && m_pState->dwOpenThread != dwThread) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    m_pState->dwOpenThread = dwThread;
    return TRUE;
}

#define REQUIRE_OPEN(failure)                                                                      \
    if (m_pState->dwOpenThread != GetCurrentThreadId()) {                                          \
        SetLastError(ERROR_CLIPBOARD_NOT_OPEN);                                                    \
        return failure;                                                                            \
    }

BOOL CMemoryClipboard::Close()
{
    std::lock_guard lock(m_pState->mutex);
    REQUIRE_OPEN(FALSE)
    m_pState->dwOpenThread = 0;
    return TRUE;
}

BOOL CMemoryClipboard::Empty()
{
    std::lock_guard lock(m_pState->mutex);
    REQUIRE_OPEN(FALSE)
    m_pState->data.clear();
    return TRUE;
}

BOOL CMemoryClipboard::SetData(UINT uFormat, CGlobalMemory&& hMem)
{
    std::lock_guard lock(m_pState->mutex);
    REQUIRE_OPEN(FALSE)
    if (uFormat == 0 || hMem.IsNull()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    m_pState->data[uFormat] = std::move(hMem);
    return TRUE;
}

CGlobalMemory CMemoryClipboard::GetData(UINT uFormat)
{
    std::lock_guard lock(m_pState->mutex);
    REQUIRE_OPEN(CGlobalMemory())
    auto it = m_pState->data.find(uFormat);
    if (it == m_pState->data.end())
        return {};
    return it->second.Duplicate();
}

BOOL CMemoryClipboard::IsFormatAvailable(UINT uFormat)
{
    std::lock_guard lock(m_pState->mutex);
    return m_pState->data.count(uFormat) ? TRUE : FALSE;
}

#undef REQUIRE_OPEN

namespace {
std::atomic<IClipboard*> g_pClipboard{nullptr};
} // namespace

IClipboard& GetClipboard()
{
    static CMemoryClipboard processClipboard;
    IClipboard* p = g_pClipboard.load(std::memory_order_acquire);
    return p ? *p : processClipboard;
}

void SetClipboard(IClipboard* pClipboard)
{
    g_pClipboard.store(pClipboard, std::memory_order_release);
}
