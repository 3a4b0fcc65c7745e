#pragma once
// "Edit Watch Group": the description, the ordered search keys, the task,
// the minimum launch interval and the thresholds and silence rule of one
// watch group, for an event log (event keys) or a text log (text and
// regular-expression keys); "Test Keys..." tries the keys on sample lines.
//
// The key, task and interval commands change the group at once, so callers
// give the dialog a working copy and take it over only on OK. OK needs a
// description and stores it. User interface thread only; the group must
// outlive the dialog.
#include <QDialog>

#include "platform/base/win32types.h"

class QLineEdit;
class QTreeWidget;
class CItemCommandBar;
class CKeysAndActions;

class CDlgWatchGroup : public QDialog {
    Q_OBJECT
public:
    CDlgWatchGroup(CKeysAndActions& group, bool bEventKeys, QWidget* parent = nullptr);

    QTreeWidget* GetKeyList() const { return m_pList; }
    CItemCommandBar* GetCommandBar() const { return m_pBar; }
    void OnCommand(int cmd);

    void accept() override;

private:
    void Refill();
    UINT GetKeyFormat() const;
    void AddKey();
    void AddRegexKey();
    void TestKeys();
    void EditKey(int index);
    void CopyKey(int index);
    void PasteKey();

    CKeysAndActions& m_group;
    bool m_bEventKeys;
    QLineEdit* m_pDescription;
    QTreeWidget* m_pList;
    CItemCommandBar* m_pBar;
};
