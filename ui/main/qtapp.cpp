#include "ui/main/qtapp.h"

#include <QApplication>
#include <cstdio>

#include "core/frontend.h"
#include "settings/appsettings.h"
#include "ui/common/icons.h"
#include "ui/frame/mainframe.h"

CQtApp::CQtApp(CQuorvilCommandLineInfo cmdInfo) : CQuorvilApp(std::move(cmdInfo))
{
    GetDocument().SetUi(&m_ui);
    SetFrontEnd(&m_ui);
    SetMainWindowQueue(&m_queue);
    SetTaskUi(&m_taskUi);
    SetClipboard(&m_clipboard);
}

CQtApp::~CQtApp()
{
    // The scan thread posts to this queue and may wait in a task message.
    if (CMonManager* pManager = GetDocument().m_pManager.get();
        pManager && pManager->HasScanThreads())
        pManager->StopScanThread();
    m_pFrame.reset();
    SetTaskUi(nullptr);
    SetClipboard(nullptr);
    SetMainWindowQueue(nullptr);
    SetFrontEnd(nullptr);
    GetDocument().SetUi(nullptr);
}

bool CQtApp::IsShiftKeyDown() const
{
    return QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier;
}

BOOL CQtApp::CreateMainWindow()
{
    m_pFrame = std::make_unique<CMainFrame>(GetDocument(), m_queue, m_bShowSplash);
    m_ui.SetParent(m_pFrame.get());
    m_taskUi.SetParent(m_pFrame.get());
    m_pFrame->SetWorkspaceOpenedHandler(
        [this](const std::string& path) { AddToRecentFileList(path); });
    m_pFrame->SetHelpFile(m_strHelpFilePath);
    QObject::connect(m_pFrame.get(), &CMainFrame::Closed, qApp, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    m_pFrame->ShowWithPlacement(GetCommandLineInfo().m_bHideWindow);
    return TRUE;
}

int CQtApp::Run()
{
    return QApplication::exec();
}

int RunDesktop(const CQuorvilCommandLineInfo& cmdInfo, int& argc, char** argv)
{
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvil"));
    QApplication::setOrganizationName(QStringLiteral("Brannick"));
    QApplication::setWindowIcon(GetImageIcon(IMAGE_WATCH_GROUP));
    // The window hides to the tray and the splash closes on its own: the
    // program ends when the main window closes, not with its last window.
    QApplication::setQuitOnLastWindowClosed(false);

    int status = 0;
    {
        CQtApp app(cmdInfo);
        if (app.InitInstance())
            status = app.Run();
        else if (app.m_nExitCode != 0)
            std::fprintf(stderr,
                         "quorvil: opening the workspace failed; the system log %s says why\n",
                         AppSettings::GetErrorLogPath().c_str());
        const int exitStatus = app.ExitInstance();
        if (status == 0)
            status = exitStatus;
    }
    return status;
}
