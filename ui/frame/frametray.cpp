#include "ui/frame/frametray.h"

#include <QMainWindow>
#include <QMenu>
#include <QTimer>

#include "ui/common/commandids.h"
#include "ui/common/qtstrings.h"
#include "ui/frame/frameactions.h"
#include "ui/frame/scanstatus.h"

CFrameTray::CFrameTray(QMainWindow& window, const CFrameActions& actions,
                       std::function<void(UINT)> run, std::function<void()> update)
    : m_window(window), m_bHideToTray(QSystemTrayIcon::isSystemTrayAvailable())
{
    m_pTray = new QSystemTrayIcon(GetScanIcon(ScanIcon::Stopped), &window);
    m_pTray->setToolTip(ToQt(FormatTrayTip("Stopped")));
    m_pMenu = new QMenu(&window);
    QObject::connect(m_pMenu, &QMenu::aboutToShow, &window, [this, &actions, run, update] {
        m_pMenu->clear();
        QAction* first =
            m_pMenu->addAction(m_window.isVisible() ? "&Hide" : "&Show", &m_window, [this, run] {
                run(m_window.isVisible() ? ID_HIDE_WINDOW : ID_TRAY_SHOW);
            });
        m_pMenu->setDefaultAction(first);
        m_pMenu->addSeparator();
        m_pMenu->addAction(actions.Get(ID_SCAN_START));
        m_pMenu->addAction(actions.Get(ID_SCAN_STOP));
        m_pMenu->addSeparator();
        m_pMenu->addAction(actions.Get(ID_APP_ABOUT));
        m_pMenu->addAction(actions.Get(ID_APP_EXIT));
        update();
    });
    m_pTray->setContextMenu(m_pMenu);
    QObject::connect(m_pTray, &QSystemTrayIcon::activated, &window,
                     [this](QSystemTrayIcon::ActivationReason reason) { OnActivated(reason); });
    if (QSystemTrayIcon::isSystemTrayAvailable())
        m_pTray->show();
}

void CFrameTray::ShowState(const CScanStateLook& look)
{
    if (look.bSetsIcon)
        m_stateIcon = look.icon;
    m_pTray->setIcon(GetScanIcon(m_stateIcon));
    m_pTray->setToolTip(ToQt(FormatTrayTip(look.strText)));
}

void CFrameTray::OnWindowStateChange()
{
    if (!(m_window.windowState() & Qt::WindowMinimized) || !m_bHideToTray)
        return;
    QTimer::singleShot(0, &m_window, [this] {
        if (m_window.windowState() & Qt::WindowMinimized)
            m_window.hide();
    });
}

void CFrameTray::ShowWindow(QMainWindow& window)
{
    if (window.isMinimized() || !window.isVisible())
        window.showNormal();
    window.raise();
    window.activateWindow();
}

void CFrameTray::OnActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason != QSystemTrayIcon::DoubleClick)
        return;
    if (m_window.isVisible() && !m_window.isMinimized())
        m_window.hide();
    else
        ShowWindow(m_window);
}
