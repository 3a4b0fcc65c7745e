#include "ui/frame/dropfiles.h"

#include <QMimeData>
#include <QUrl>

#include "common/brancmn.h"
#include "textlog/filemonitor.h"
#include "ui/common/messagebox.h"
#include "ui/common/qtstrings.h"
#include "workspace/docstrings.h"
#include "workspace/managerops.h"
#include "workspace/quorvildoc.h"

namespace {

// A text file dropped on the window becomes a monitored log when it ends in
// one of these (compared in capitals).
bool IsTextLogExtension(const std::string& upperExt)
{
    return upperExt == ".TXT" || upperExt == ".LOG" || upperExt == ".AEH";
}

std::string UpperTail(const std::string& path, std::size_t n)
{
    std::string tail = path.size() >= n ? path.substr(path.size() - n) : path;
    for (char& c : tail)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return tail;
}

} // namespace

QStringList DroppedPaths(const QMimeData& mime)
{
    QStringList paths;
    for (const QUrl& url : mime.urls())
        paths.push_back(url.isLocalFile() ? url.toLocalFile() : url.toString());
    return paths;
}

void OpenDroppedFiles(const QStringList& paths, CQuorvilDoc& doc, QWidget* parent,
                      const std::function<void(const std::string&)>& openWorkspace)
{
    if (paths.size() != 1)
        return;
    const std::string path = FromQt(paths.front());
    if (path.size() < 5)
        return;
    const std::string ext = UpperTail(path, 4);
    if (ext == ".QVW") {
        if (doc.SaveModified())
            openWorkspace(path);
        return;
    }
    if (!IsTextLogExtension(ext) || !doc.m_pManager)
        return;
    auto log = std::make_unique<CFileMonitor>();
    log->SetEnabled(FALSE);
    log->SetInterval(10);
    log->m_strShortDescription = JustFilename(path.c_str());
    log->m_strDirectory = path;
    log->m_strFileName.clear();
    if (IsFileMonitored(*doc.m_pManager, log->GetFilePath()) &&
        ShowMessageBox(parent, "Text log: " + path + "\n\n" + IDS_ALREADY_MONITORING,
                       MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    doc.AddMonitoredLog(log.release());
}
