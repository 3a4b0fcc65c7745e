#pragma once
// CServersView: the list of the monitored event logs ("Monitored event
// logs"), shown in the right pane for the tree's "Event Logs" node. Columns
// are kept in ServerNumColumns, ServerColFlags and ServerColWidths. See
// CLogListView.
#include "ui/lists/loglistview.h"

class CServersView : public CLogListView {
    Q_OBJECT
public:
    explicit CServersView(IMainFrame& frame, QWidget* parent = nullptr);

    // The process-wide columns of every event-log list.
    static CColumnLayout& Columns();
};
