#include "platform/msgmodule/msgmodule.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <unordered_set>

#include "platform/base/sync.h"
#include "platform/base/win32error.h"
#include "platform/msgmodule/modulecache.h"
#include "platform/network/network.h"

// What a module handle points to.
struct HMODULE__ {
    std::shared_ptr<const CMessageModule> module;
};

namespace {

// The live handles, so that a stale or forged handle is refused.
struct CHandleTable {
    CCriticalSection cs;
    std::unordered_set<HMODULE> handles; // guarded by cs
};

CHandleTable& Handles()
{
    static CHandleTable table;
    return table;
}

std::shared_ptr<const CMessageModule> ModuleOf(HMODULE h)
{
    CHandleTable& table = Handles();
    CSingleLock lock(table.cs);
    return table.handles.contains(h) ? h->module : nullptr;
}

DWORD Format(DWORD dwFlags, const void* lpSource, DWORD dwMessageId, DWORD dwLanguageId,
             std::span<const char* const> arguments, std::string& out)
{
    const bool fromString = dwFlags & FORMAT_MESSAGE_FROM_STRING;
    const bool fromModule = dwFlags & FORMAT_MESSAGE_FROM_HMODULE;
    if (fromString == fromModule)
        return ERROR_INVALID_PARAMETER;
    if (fromString) {
        if (lpSource == nullptr)
            return ERROR_INVALID_PARAMETER;
        return ExpandMessageTemplate(static_cast<const char*>(lpSource), dwFlags, arguments, out);
    }
    if (dwLanguageId > 0xFFFF)
        return ERROR_INVALID_PARAMETER;
    const WORD language = static_cast<WORD>(dwLanguageId);

    // A null module stands for the program's own image, which holds no table.
    if (lpSource == nullptr)
        return ERROR_RESOURCE_TYPE_NOT_FOUND;
    // Held for the whole call, so a FreeLibrary meanwhile cannot pull the
    // text away.
    std::shared_ptr<const CMessageModule> module =
        ModuleOf(static_cast<HMODULE>(const_cast<void*>(lpSource)));
    if (module == nullptr)
        return ERROR_INVALID_HANDLE;
    std::string_view tmpl;
    DWORD error = module->FindMessage(dwMessageId, language, tmpl);
    if (error == ERROR_SUCCESS)
        return ExpandMessageTemplate(tmpl, dwFlags, arguments, out);
    return error;
}

} // namespace

HMODULE LoadLibraryExA(const char* lpFileName, void* hFile, DWORD dwFlags)
{
    constexpr DWORD dataFlags = LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE |
                                LOAD_LIBRARY_AS_DATAFILE_EXCLUSIVE;
    if (lpFileName == nullptr || hFile != nullptr || (dwFlags & dataFlags) == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::optional<std::string> path = MapNetworkPath(lpFileName);
    if (!path)
        return nullptr;
    DWORD error = ERROR_SUCCESS;
    std::shared_ptr<const CMessageModule> module = GetMessageModuleCache().Load(*path, error);
    if (module == nullptr) {
        SetLastError(error);
        return nullptr;
    }
    auto handle = std::make_unique<HMODULE__>(HMODULE__{std::move(module)});
    CHandleTable& table = Handles();
    CSingleLock lock(table.cs);
    table.handles.insert(handle.get());
    return handle.release();
}

BOOL FreeLibrary(HMODULE hModule)
{
    std::unique_ptr<HMODULE__> handle;
    {
        CHandleTable& table = Handles();
        CSingleLock lock(table.cs);
        if (table.handles.erase(hModule) == 0) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        handle.reset(hModule);
    }
    return TRUE;
}

DWORD FormatMessageString(DWORD dwFlags, const void* lpSource, DWORD dwMessageId,
                          DWORD dwLanguageId, std::string& text,
                          std::span<const char* const> arguments)
{
    text.clear();
    DWORD error = Format(dwFlags, lpSource, dwMessageId, dwLanguageId, arguments, text);
    if (error == ERROR_SUCCESS && text.empty())
        error = ERROR_NO_WORK_DONE;
    if (error != ERROR_SUCCESS) {
        text.clear();
        SetLastError(error);
        return 0;
    }
    return static_cast<DWORD>(text.size());
}

DWORD FormatMessageA(DWORD dwFlags, const void* lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                     char* lpBuffer, DWORD nSize, std::span<const char* const> arguments)
{
    if (lpBuffer == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const bool allocate = dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER;
    if (allocate)
        *reinterpret_cast<char**>(lpBuffer) = nullptr;
    std::string text;
    DWORD length =
        FormatMessageString(dwFlags, lpSource, dwMessageId, dwLanguageId, text, arguments);
    if (length == 0)
        return 0;
    if (allocate) {
        std::size_t size = std::max<std::size_t>(text.size() + 1,
                                                 std::min<std::size_t>(nSize, MAX_MESSAGE_LENGTH));
        char* buffer = static_cast<char*>(std::calloc(size, 1));
        if (buffer == nullptr) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return 0;
        }
        std::memcpy(buffer, text.c_str(), text.size() + 1);
        *reinterpret_cast<char**>(lpBuffer) = buffer;
        return length;
    }
    if (text.size() + 1 > nSize) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(lpBuffer, text.c_str(), text.size() + 1);
    return length;
}

void* LocalFree(void* hMem)
{
    std::free(hMem);
    return nullptr;
}
