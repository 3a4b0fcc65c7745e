#include "ui/dialogs/choosewatchgroup.h"

#include <QComboBox>
#include <QLabel>
#include <QVBoxLayout>

#include "core/keysandactions.h"
#include "core/monitoredobject.h"
#include "ui/common/qtstrings.h"
#include "ui/dialogs/okcancel.h"
#include "workspace/documentui.h"

CDlgChooseWatchGroup::CDlgChooseWatchGroup(const CMonitoredObject& log, QWidget* parent)
    : QDialog(parent), m_pGroups(new QComboBox(this))
{
    setWindowTitle("Choose Watch Group");
    m_pGroups->setObjectName("groups");
    for (int i = 0; i < log.GetWatchGroupCount(); ++i)
        if (const CKeysAndActions* pGroup = log.GetWatchGroup(i))
            m_pGroups->addItem(ToQt(pGroup->m_strDescription), i);
    m_pGroups->addItem("(Add new group)", CHOOSE_NEW_WATCH_GROUP);
    m_pGroups->setCurrentIndex(0);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QString("Logfile: %1").arg(ToQt(log.GetDisplayName())), this));
    layout->addWidget(m_pGroups);
    auto* buttons = MakeOkCancel(this);
    layout->addWidget(buttons);
}

int CDlgChooseWatchGroup::GetChoice() const
{
    return m_pGroups->currentData().toInt();
}
