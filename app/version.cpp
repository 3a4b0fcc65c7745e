#include "app/version.h"

#include <cstdio>
#include <filesystem>

#include "quorvil_version.h"

std::string FormatFileVersion(WORD wMajor, WORD wMinor, WORD wRelease, WORD wBuild)
{
    char text[64];
    std::snprintf(text, sizeof text, "%d.%d%d%d", wMajor, wMinor, wRelease, wBuild);
    std::string version = text;
    if (version.size() >= 5 && version[4] == '0')
        version.resize(4);
    return version;
}

std::string GetProgramVersion()
{
    return FormatFileVersion(QUORVIL_VERSION_MAJOR, QUORVIL_VERSION_MINOR, QUORVIL_VERSION_PATCH,
                             0);
}

std::string GetProgramFilePath()
{
    std::error_code ec;
    std::string path = std::filesystem::read_symlink("/proc/self/exe", ec).string();
    if (ec || path.size() >= MAX_PATH)
        path.clear();
    return path;
}
