#include "ui/settings/autostart.h"

#include <unistd.h>

#include "platform/base/fileio.h"

std::string AutostartEntryPath()
{
    return DirectoryOf(QuorvilConfigDir()) + "/autostart/quorvil.desktop";
}

bool IsRunAtLogon()
{
    return ::access(AutostartEntryPath().c_str(), F_OK) == 0;
}

void SetRunAtLogon(bool bOn, const std::string& programPath)
{
    const std::string path = AutostartEntryPath();
    if (!bOn) {
        ::unlink(path.c_str());
        return;
    }
    // Exec quotes the path so that blanks in it survive; a quote or a
    // backslash inside the quotes is escaped as the entry format asks.
    std::string quoted;
    for (char c : programPath) {
        if (c == '"' || c == '\\' || c == '`' || c == '$')
            quoted += '\\';
        quoted += c;
    }
    const std::string entry = "[Desktop Entry]\n"
                              "Type=Application\n"
                              "Name=Quorvil\n"
                              "Comment=Log monitor\n"
                              "Exec=\"" +
                              quoted +
                              "\" /h\n"
                              "Terminal=false\n"
                              "X-GNOME-Autostart-enabled=true\n";
    if (EnsureDirectory(DirectoryOf(path)))
        AtomicWriteFile(path, entry, 0644);
}
