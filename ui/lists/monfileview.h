#pragma once
// CMonFileView: the list of the monitored text logs ("Monitored files"),
// shown in the right pane for the tree's "Text Logs" node. Columns are kept
// in FileNumColumns, FileColFlags and FileColWidths. See CLogListView.
#include "ui/lists/loglistview.h"

class CMonFileView : public CLogListView {
    Q_OBJECT
public:
    explicit CMonFileView(IMainFrame& frame, QWidget* parent = nullptr);

    // The process-wide columns of every text-log list.
    static CColumnLayout& Columns();
};
