#pragma once
// CFrameTray: the main window's tray icon: its icon and tip follow the scan
// state, its menu (Show or Hide, Start, Stop, About, Exit) and a
// double-click that hides or shows the window; and minimising the window
// hides it to the tray when the desktop has one.
//
// Threads: user interface thread only. The icon belongs to the window.
#include <QSystemTrayIcon>
#include <functional>

#include "platform/base/win32types.h"
#include "ui/common/icons.h"

class QMainWindow;
class QMenu;
class CFrameActions;
struct CScanStateLook;

class CFrameTray {
public:
    // run: runs a command as the menu would; update: brings the actions'
    // states up to date.
    CFrameTray(QMainWindow& window, const CFrameActions& actions, std::function<void(UINT)> run,
               std::function<void()> update);

    QSystemTrayIcon* GetIcon() const { return m_pTray; }
    // The icon and tip of a scan state.
    void ShowState(const CScanStateLook& look);
    void Hide() { m_pTray->hide(); }

    // Minimising hides the window to the tray; on by default when the
    // desktop has a tray.
    void SetHideToTray(bool bHide) { m_bHideToTray = bHide; }
    bool HidesToTray() const { return m_bHideToTray; }
    // After the window's state changed: a minimised window hides.
    void OnWindowStateChange();

    // Restores the window and brings it to the front.
    static void ShowWindow(QMainWindow& window);

private:
    void OnActivated(QSystemTrayIcon::ActivationReason reason);

    QMainWindow& m_window;
    QSystemTrayIcon* m_pTray = nullptr;
    QMenu* m_pMenu = nullptr;
    ScanIcon m_stateIcon = ScanIcon::Stopped;
    bool m_bHideToTray = false;
};
