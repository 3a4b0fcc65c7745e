#pragma once
// Files dropped on the main window. One workspace (".qvw") is opened, after
// the question to save the open one; one text file (".txt", ".log", ".aeh")
// becomes a monitored log, disabled, scanned every 10 seconds, after the
// question when it is monitored already; anything else, and more than one
// file, is ignored.
//
// Threads: user interface thread only.
#include <QStringList>
#include <functional>
#include <string>

class CQuorvilDoc;
class QMimeData;
class QWidget;

// The paths of the files dropped: local files by their path, anything else
// by its address.
QStringList DroppedPaths(const QMimeData& mime);

// parent: of the question; openWorkspace: opens a workspace once the open
// one may go.
void OpenDroppedFiles(const QStringList& paths, CQuorvilDoc& doc, QWidget* parent,
                      const std::function<void(const std::string&)>& openWorkspace);
