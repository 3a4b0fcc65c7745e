#pragma once
// "Quorvil Settings": the application settings on six pages (Fonts,
// Utilities, Editors, Advanced, Backups, Audit). OK and Apply write the
// values of every page that was shown; after an Apply, Cancel reads "Close"
// and leaves what Apply wrote.
//
// Threads: user interface thread only.
#include <QDialog>
#include <vector>

class CQuorvilDoc;
class CSettingsPage;
class QPushButton;
class QTabWidget;

// Modal. With a document, a new font is sent to its views (hint 6).
void RunSettingsSheet(QWidget* parent, CQuorvilDoc* pDoc = nullptr);

class CDlgAppSettings : public QDialog {
    Q_OBJECT
public:
    explicit CDlgAppSettings(CQuorvilDoc* pDoc, QWidget* parent = nullptr);

    // Writes every page that was shown; false, with the refusing page
    // shown, when a value is refused.
    bool Apply();
    void accept() override;

    QTabWidget* GetTabs() const { return m_pTabs; }
    QPushButton* GetApplyButton() const { return m_pApply; }
    QPushButton* GetCancelButton() const { return m_pCancel; }

private:
    void UpdateApply();

    QTabWidget* m_pTabs;
    std::vector<CSettingsPage*> m_arrPages;
    QPushButton* m_pApply;
    QPushButton* m_pCancel;
};
