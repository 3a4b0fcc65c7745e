#include "ui/dialogs/taskdialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <thread>

#include "tasklib/alertactions.h"
#include "tasklib/task.h"
#include "ui/common/icons.h"
#include "ui/common/messagebox.h"
#include "ui/common/qtstrings.h"
#include "ui/dialogs/actiondialog.h"
#include "ui/dialogs/okcancel.h"
#include "ui/dialogs/samplevariables.h"

namespace {

std::unique_ptr<CBaseAction> MakeAction(ActionKind kind)
{
    switch (kind) {
    case ActionKind::MESSAGE:
        return std::make_unique<CDisplayMessage>();
    case ActionKind::WRITE_FILE:
        return std::make_unique<CWriteToFile>();
    case ActionKind::RUN_PROGRAM:
        return std::make_unique<CRunProgram>();
    case ActionKind::EMAIL:
        return std::make_unique<CSendMail>();
    case ActionKind::WEBHOOK:
        return std::make_unique<CWebHook>();
    case ActionKind::NOTIFICATION:
        return std::make_unique<CDesktopNotification>();
    case ActionKind::SYSLOG:
        return std::make_unique<CSyslogForward>();
    }
    return nullptr;
}

} // namespace

CDlgTask::CDlgTask(CTask& task, QWidget* parent)
    : QDialog(parent), m_task(task), m_pDescription(new QLineEdit(this)),
      m_pList(new QListWidget(this)), m_pAdd(new QToolButton(this)),
      m_pEdit(new QPushButton("Edit...", this)), m_pDelete(new QPushButton("Delete", this)),
      m_pUp(new QPushButton("Move Up", this)), m_pDown(new QPushButton("Move Down", this)),
      m_pTest(new QPushButton("Test Run", this))
{
    setWindowTitle("Task");
    setWindowIcon(GetImageIcon(IMAGE_TASK));
    for (int i = 0; i < task.GetActionCount(); ++i)
        if (const CBaseAction* pAction = task.GetAction(i))
            m_actions.push_back(pAction->Clone());

    m_pDescription->setObjectName("description");
    m_pDescription->setText(ToQt(task.GetDescription()));
    m_pList->setObjectName("actions");
    m_pAdd->setObjectName("add");
    m_pAdd->setText("Add");
    m_pAdd->setToolTip("Add an action to the task");
    m_pAdd->setPopupMode(QToolButton::InstantPopup);
    m_pAdd->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_pAdd->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto* menu = new QMenu(m_pAdd);
    menu->addAction("Display a message", this, [this] { AddAction(ActionKind::MESSAGE); });
    menu->addAction("Write a line to a file", this, [this] { AddAction(ActionKind::WRITE_FILE); });
    menu->addAction("Run a program", this, [this] { AddAction(ActionKind::RUN_PROGRAM); });
    menu->addAction("Send an e-mail", this, [this] { AddAction(ActionKind::EMAIL); });
    menu->addAction("Call a web hook", this, [this] { AddAction(ActionKind::WEBHOOK); });
    menu->addAction("Show a desktop notification", this,
                    [this] { AddAction(ActionKind::NOTIFICATION); });
    menu->addAction("Forward to syslog", this, [this] { AddAction(ActionKind::SYSLOG); });
    m_pAdd->setMenu(menu);
    m_pEdit->setObjectName("edit");
    m_pDelete->setObjectName("delete");
    m_pUp->setObjectName("up");
    m_pDown->setObjectName("down");
    m_pTest->setObjectName("test");
    for (QPushButton* b : {m_pEdit, m_pDelete, m_pUp, m_pDown, m_pTest})
        b->setAutoDefault(false);
    connect(m_pEdit, &QPushButton::clicked, this, &CDlgTask::EditAction);
    connect(m_pList, &QListWidget::itemDoubleClicked, this, &CDlgTask::EditAction);
    connect(m_pDelete, &QPushButton::clicked, this, &CDlgTask::DeleteAction);
    connect(m_pUp, &QPushButton::clicked, this, [this] { MoveAction(-1); });
    connect(m_pDown, &QPushButton::clicked, this, [this] { MoveAction(+1); });
    connect(m_pTest, &QPushButton::clicked, this, &CDlgTask::TestRun);
    connect(m_pList, &QListWidget::currentRowChanged, this, &CDlgTask::UpdateStates);

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel("Description:", this), 0, 0);
    grid->addWidget(m_pDescription, 0, 1, 1, 2);
    grid->addWidget(new QLabel("Actions, run in this order:", this), 1, 0, 1, 3);
    grid->addWidget(m_pList, 2, 0, 1, 2);
    auto* side = new QVBoxLayout;
    side->addWidget(m_pAdd);
    for (QPushButton* b : {m_pEdit, m_pDelete, m_pUp, m_pDown, m_pTest})
        side->addWidget(b);
    side->addStretch();
    grid->addLayout(side, 2, 2);
    auto* buttons = MakeOkCancel(this);
    grid->addWidget(buttons, 3, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    resize(620, 320);
    Refill(m_actions.empty() ? -1 : 0);
}

CDlgTask::~CDlgTask() = default;

int CDlgTask::GetSelected() const
{
    return m_pList->currentRow();
}

void CDlgTask::Refill(int nSelect)
{
    m_pList->clear();
    for (const auto& pAction : m_actions)
        m_pList->addItem(ToQt(pAction->GetDescription()));
    m_pList->setCurrentRow(nSelect);
    UpdateStates();
}

void CDlgTask::UpdateStates()
{
    const int nRow = GetSelected();
    const int nCount = static_cast<int>(m_actions.size());
    m_pEdit->setEnabled(nRow >= 0);
    m_pDelete->setEnabled(nRow >= 0);
    m_pUp->setEnabled(nRow > 0);
    m_pDown->setEnabled(nRow >= 0 && nRow < nCount - 1);
    m_pTest->setEnabled(nCount > 0);
}

void CDlgTask::AddAction(ActionKind kind)
{
    std::unique_ptr<CBaseAction> pAction = MakeAction(kind);
    CDlgAction dlg(*pAction, MakeSampleVariables(m_task.GetVariables()), this);
    if (dlg.exec() != QDialog::Accepted)
        return;
    m_actions.push_back(std::move(pAction));
    m_bActionsChanged = true;
    Refill(static_cast<int>(m_actions.size()) - 1);
}

void CDlgTask::EditAction()
{
    const int nRow = GetSelected();
    if (nRow < 0)
        return;
    std::unique_ptr<CBaseAction> pCopy = m_actions[static_cast<std::size_t>(nRow)]->Clone();
    CDlgAction dlg(*pCopy, MakeSampleVariables(m_task.GetVariables()), this);
    if (dlg.exec() != QDialog::Accepted)
        return;
    m_actions[static_cast<std::size_t>(nRow)] = std::move(pCopy);
    m_bActionsChanged = true;
    Refill(nRow);
}

void CDlgTask::DeleteAction()
{
    const int nRow = GetSelected();
    if (nRow < 0 || ShowMessageBox(this, "Are you sure you want to delete this item?",
                                   MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    m_actions.erase(m_actions.begin() + nRow);
    m_bActionsChanged = true;
    Refill(std::min(nRow, static_cast<int>(m_actions.size()) - 1));
}

void CDlgTask::MoveAction(int nStep)
{
    const int nRow = GetSelected();
    const int nTo = nRow + nStep;
    if (nRow < 0 || nTo < 0 || nTo >= static_cast<int>(m_actions.size()))
        return;
    std::swap(m_actions[static_cast<std::size_t>(nRow)], m_actions[static_cast<std::size_t>(nTo)]);
    m_bActionsChanged = true;
    Refill(nTo);
}

void CDlgTask::TestRun()
{
    auto pTask = std::make_shared<CTask>(m_task);
    pTask->SetDescription(FromQt(m_pDescription->text()).c_str());
    pTask->RemoveAllActions();
    for (const auto& pAction : m_actions)
        pTask->AddAction(*pAction);
    const CTaskVariables sample = MakeSampleVariables(m_task.GetVariables());
    for (const auto& [name, value] : sample.GetAll())
        pTask->SetTranslationString(name.c_str(), value.c_str());
    // The worker owns its copy; the dialog may close while it runs. As Test
    // Task Actions does, network actions are sent once and a message then
    // tells what each server answered.
    std::thread([pTask] { pTask->RunAsTest(); }).detach();
}

void CDlgTask::accept()
{
    const std::string strDescription = FromQt(m_pDescription->text());
    m_bChanged = m_bActionsChanged || strDescription != m_task.GetDescription();
    if (m_bChanged) {
        m_task.SetDescription(strDescription.c_str());
        m_task.RemoveAllActions();
        for (const auto& pAction : m_actions)
            m_task.AddAction(*pAction);
    }
    QDialog::accept();
}
