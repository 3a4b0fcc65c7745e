#pragma once
// The task dialog: a task's description and its ordered actions, with Add
// (message, write to file, run program, e-mail, web hook, desktop
// notification, syslog), Edit, Delete, Move Up, Move Down and Test Run. It
// edits its own copy of the actions and writes description and actions into
// the task on OK; the task's variables stay as they are.
//
// Test Run runs a copy of the task as it stands in the dialog, with the
// sample entry's variables, on a worker thread of its own, so that a message
// action (which the front end shows on this thread) cannot block the
// dialog; like Test Task Actions it sends each network action once and then
// shows what each server answered (CTask::RunAsTest). User interface thread
// only; the task must outlive the dialog.
#include <QDialog>
#include <memory>
#include <vector>

class QLineEdit;
class QListWidget;
class QPushButton;
class QToolButton;
class CBaseAction;
class CTask;

enum class ActionKind { MESSAGE, WRITE_FILE, RUN_PROGRAM, EMAIL, WEBHOOK, NOTIFICATION, SYSLOG };

class CDlgTask : public QDialog {
    Q_OBJECT
public:
    CDlgTask(CTask& task, QWidget* parent = nullptr);
    ~CDlgTask() override;

    // Whether OK changed the task.
    bool IsChanged() const { return m_bChanged; }
    QListWidget* GetActionList() const { return m_pList; }

    // The commands, on the selected action where they need one.
    void AddAction(ActionKind kind);
    void EditAction();
    void DeleteAction();
    void MoveAction(int nStep);
    void TestRun();

    void accept() override;

private:
    void Refill(int nSelect);
    void UpdateStates();
    int GetSelected() const;

    CTask& m_task;
    std::vector<std::unique_ptr<CBaseAction>> m_actions;
    bool m_bActionsChanged = false;
    bool m_bChanged = false;
    QLineEdit* m_pDescription;
    QListWidget* m_pList;
    QToolButton* m_pAdd;
    QPushButton* m_pEdit;
    QPushButton* m_pDelete;
    QPushButton* m_pUp;
    QPushButton* m_pDown;
    QPushButton* m_pTest;
};
