#pragma once
// "Watches": the watch groups of the log that a property sheet edits, with
// Add, Edit, Delete, Copy, Paste and Duplicate. Unlike the other pages it
// works on the sheet's log at once, so its changes are part of the copy (or
// the new log) that the caller drops on Cancel. User interface thread only;
// the log must outlive the page.
#include <QWidget>

class QTreeWidget;
class CItemCommandBar;
class CMonitoredObject;

class CPageWatches : public QWidget {
    Q_OBJECT
public:
    explicit CPageWatches(CMonitoredObject& log, QWidget* parent = nullptr);

    QTreeWidget* GetList() const { return m_pList; }
    CItemCommandBar* GetCommandBar() const { return m_pBar; }
    void OnCommand(int cmd);

private:
    void Refill();
    void AddGroup();
    void EditGroup(int index);
    void CopyGroup(int index);
    void PasteGroup();

    CMonitoredObject& m_log;
    QTreeWidget* m_pList;
    CItemCommandBar* m_pBar;
};
