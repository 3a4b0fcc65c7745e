#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

#include <sys/stat.h>
#include <sys/statvfs.h>

#include "common/brancmn.h"
#include "platform/base/win32error.h"
#include "platform/network/network.h"

namespace {

const char* FileNamePart(const char* path)
{
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '/' || *p == '\\')
            name = p + 1;
    return name;
}

// 1234567 -> "1,234,567"
std::string WithThousands(std::uint64_t value)
{
    std::string digits = std::to_string(value);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out.push_back(',');
        out.push_back(digits[i]);
    }
    return out;
}

} // namespace

void JustPathname(char* out, const char* path)
{
    std::size_t length = path ? static_cast<std::size_t>(FileNamePart(path) - path) : 0;
    if (length >= static_cast<std::size_t>(MAX_PATH))
        length = MAX_PATH - 1;
    std::memcpy(out, path ? path : "", length);
    out[length] = '\0';
}

const char* JustFilename(const char* path)
{
    return path ? FileNamePart(path) : "";
}

char* RTrim(char* text, int ch)
{
    std::size_t length = std::strlen(text);
    while (length > 0 &&
           static_cast<unsigned char>(text[length - 1]) == static_cast<unsigned char>(ch))
        text[--length] = '\0';
    return text;
}

BOOL FileExists(const char* path)
{
    if (!path || !*path)
        return FALSE;
    auto local = MapNetworkPath(path);
    struct stat st {};
    return local && ::stat(local->c_str(), &st) == 0;
}

std::string GetFreeDiskSpaceAsString(const char* root)
{
    auto local = MapNetworkPath(root && *root ? root : "/");
    struct statvfs fs {};
    if (!local || ::statvfs(local->c_str(), &fs) != 0) {
        SetLastErrorFromErrno();
        return {};
    }
    std::uint64_t bytes = std::uint64_t{fs.f_bavail} * fs.f_frsize;
    return WithThousands(bytes / (std::uint64_t{1024} * 1024)) + " MB free";
}

BOOL IsWinNT()
{
    return TRUE;
}
BOOL IsXP()
{
    return TRUE;
}
