#pragma once
// The tree tests' main frame, logs with watch groups, and the tree view's fixture.

#include "match/searchkeyevent.h"
#include "tests/workspace/testdoc.h"
#include "ui/common/qtclipboard.h"
#include "ui/tree/quorvilview.h"
#include "widgettest.h"

class CTestFrame final : public CFakeFrame {
public:
    CTestFrame()
    {
        RegisterDocumentClasses();
        QGuiApplication::clipboard()->clear();
        SetClipboard(&m_clipboard);
        // The document's questions are answered Yes, its dialogs cancelled.
        m_ui.m_nDefaultAnswer = IDYES;
        m_ui.m_bDialogOK = FALSE;
        m_ui.m_nChoose = CHOOSE_NEW_WATCH_GROUP;
        m_ui.m_onTextKey = [this](CSearchKeyText& key) {
            m_dialogs.push_back("textkey:" + key.m_strKey1);
            return m_ui.m_bDialogOK;
        };
        m_doc.SetUi(&m_ui);
    }
    ~CTestFrame() override
    {
        m_doc.SetUi(nullptr);
        SetClipboard(nullptr);
    }

    // Logs added straight to the manager, before the view is built.
    CFileMonitor* AddTextLog(const std::string& description, int nGroups = 0)
    {
        CFileMonitor* pLog = CFakeFrame::AddTextLog(description, description + ".log", "/tmp/");
        for (int i = 0; i < nGroups; ++i)
            pLog->AddWatchGroup(TextGroup("Group " + std::to_string(i), {"error", "warning"}));
        return pLog;
    }
    CEventMonitor* AddEventLog(const std::string& server, const std::string& logName,
                               int nGroups = 0)
    {
        CEventMonitor* pLog = CFakeFrame::AddEventLog(server, logName);
        for (int i = 0; i < nGroups; ++i) {
            auto* pGroup = new CKeysAndActions;
            pGroup->m_strDescription = "Events " + std::to_string(i);
            auto* pKey = new CSearchKeyEvent;
            pKey->SetEventIDValue(6005);
            pGroup->AddKey(pKey);
            pLog->AddWatchGroup(pGroup);
        }
        return pLog;
    }

    CScriptedUi m_ui;
    std::vector<std::string> m_dialogs; // "textkey:<first string>" per text key dialog
    CQtClipboard m_clipboard;
    CMessageRecorder m_boxes{IDNO}; // the view's own questions
};

inline DWORD IdOf(const QTreeWidgetItem* pItem)
{
    return pItem->data(0, Qt::UserRole).toUInt();
}

inline QStringList ChildTexts(const QTreeWidgetItem* pItem)
{
    QStringList texts;
    for (int i = 0; i < pItem->childCount(); ++i)
        texts << pItem->child(i)->text(0);
    return texts;
}

class TreeViewTest : public ::testing::Test {
protected:
    QTreeWidget& Tree() { return *m_pView->GetTree(); }
    QTreeWidgetItem* TextRoot() { return Tree().topLevelItem(0); }
    QTreeWidgetItem* EventRoot() { return Tree().topLevelItem(1); }
    QTreeWidgetItem* SystemLog() { return Tree().topLevelItem(2); }
    QTreeWidgetItem* LogNode(const CMonitoredObject* pLog)
    {
        for (QTreeWidgetItem* pRoot : {TextRoot(), EventRoot()})
            for (int i = 0; i < pRoot->childCount(); ++i)
                if (IdOf(pRoot->child(i)) == pLog->GetID())
                    return pRoot->child(i);
        return nullptr;
    }
    void CreateView()
    {
        m_pView = std::make_unique<CQuorvilView>(m_frame);
        m_pView->resize(300, 500);
        m_pView->show();
    }
    QStringList ContextMenuOf(QTreeWidgetItem* pItem)
    {
        Tree().setCurrentItem(pItem);
        std::unique_ptr<QMenu> pMenu = m_pView->CreateContextMenu();
        return pMenu ? MenuItems(*pMenu) : QStringList{"(no menu)"};
    }
    void Click(QTreeWidgetItem* pItem)
    {
        QTest::mouseClick(Tree().viewport(), Qt::LeftButton, {},
                          Tree().visualItemRect(pItem).center());
    }

    CTestFrame m_frame;
    std::unique_ptr<CQuorvilView> m_pView;
};
