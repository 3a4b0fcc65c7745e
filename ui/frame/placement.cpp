#include "ui/frame/placement.h"

#include <QMainWindow>
#include <vector>

#include "settings/appsettings.h"

void RestoreWindowPlacement(QMainWindow& window)
{
    WINDOWPLACEMENT placement;
    if (!AppSettings::ReadWindowPlacement("WindowPos", placement))
        return;
    const RECT& r = placement.rcNormalPosition;
    if (r.right > r.left && r.bottom > r.top)
        window.setGeometry(r.left, r.top, r.right - r.left, r.bottom - r.top);
    if (placement.showCmd == 3 || (placement.flags & 2))
        window.setWindowState(Qt::WindowMaximized);
}

void SaveWindowPlacement(const QMainWindow& window)
{
    WINDOWPLACEMENT placement;
    const QRect normal =
        window.normalGeometry().isValid() ? window.normalGeometry() : window.geometry();
    placement.flags = window.isMaximized() ? 2 : 0; // WPF_RESTORETOMAXIMIZED
    placement.showCmd = window.isMaximized() ? 3 : window.isMinimized() ? 2 : 1;
    placement.ptMinPosition = {-1, -1};
    placement.ptMaxPosition = {-1, -1};
    placement.rcNormalPosition = {normal.left(), normal.top(), normal.left() + normal.width(),
                                  normal.top() + normal.height()};
    AppSettings::WriteWindowPlacement("WindowPos", placement);
}

void RestoreBarState(QMainWindow& window)
{
    std::vector<BYTE> state;
    if (AppSettings::GetProfileBinary(AppSettings::SECTION_SETTINGS, "Toolbars", state))
        window.restoreState(QByteArray(reinterpret_cast<const char*>(state.data()),
                                       static_cast<qsizetype>(state.size())));
}

void SaveBarState(const QMainWindow& window)
{
    const QByteArray state = window.saveState();
    AppSettings::WriteProfileBinary(AppSettings::SECTION_SETTINGS, "Toolbars",
                                    std::vector<BYTE>(state.begin(), state.end()));
}
