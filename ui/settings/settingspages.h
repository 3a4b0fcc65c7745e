#pragma once
// The six pages of the "Quorvil Settings" sheet. Each page reads its
// settings (settings/appsettings.h) into its controls the first time it
// is shown, keeps its controls' enabling in step with their check boxes, and
// writes them back in Store (for OK and Apply). Controls carry object names
// after the settings they edit, so that tests can find them.
//
// Threads: user interface thread only.
#include <QWidget>

#include "settings/appsettings.h"

class CQuorvilDoc;
class QCheckBox;
class QLabel;
class QLineEdit;
class QToolButton;

class CSettingsPage : public QWidget {
    Q_OBJECT
public:
    explicit CSettingsPage(QWidget* parent = nullptr) : QWidget(parent) {}

    // Reads the settings into the controls, once.
    void EnsureLoaded();
    bool IsLoaded() const { return m_bLoaded; }
    // Writes the controls' values; false when a value is refused (the user
    // was told, and the page should be shown again).
    virtual bool Store() = 0;

    bool IsModified() const { return m_bModified; }
    void SetModified(bool bModified = true);

signals:
    void modifiedChanged();

protected:
    virtual void Load() = 0;
    void showEvent(QShowEvent* event) override;
    // A check box named after its setting.
    static QCheckBox* MakeCheck(const char* name, const char* text);
    // Any change of these controls marks the page modified.
    void MarkChanges(QCheckBox* box);
    void MarkChanges(QLineEdit* edit);

private:
    bool m_bLoaded = false;
    bool m_bModified = false;
};

// "Fonts": the text log viewer's font.
class CPageSelectedFonts : public CSettingsPage {
    Q_OBJECT
public:
    explicit CPageSelectedFonts(CQuorvilDoc* pDoc, QWidget* parent = nullptr);
    bool Store() override;
    // Takes a font chosen in the font dialog: the page is modified.
    void ChooseFont(const QFont& font);
    // "Face, points, style", as shown beside the sample.
    QString GetDescription() const;

protected:
    void Load() override;

private:
    void ShowFont();

    CQuorvilDoc* m_pDoc;
    LOGFONT m_font;
    QLabel* m_pSample;
    QLabel* m_pDescription;
};

// "Utilities": the fast mark text and the system log switch.
class CPageFastMark : public CSettingsPage {
    Q_OBJECT
public:
    explicit CPageFastMark(QWidget* parent = nullptr);
    bool Store() override;

protected:
    void Load() override;

private:
    QLineEdit* m_pFastMark;
    QCheckBox* m_pErrorLog;
};

// "Editors": the text editor and the SQL editor.
class CPageEditors : public CSettingsPage {
    Q_OBJECT
public:
    explicit CPageEditors(QWidget* parent = nullptr);
    bool Store() override;

protected:
    void Load() override;

private:
    void ChooseProgram(QLineEdit* target);

    QLineEdit* m_pTextEditor;
    QLineEdit* m_pSqlEditor;
};

// "Advanced": run at logon and the start-up and shut-down options.
class CPageStartup : public CSettingsPage {
    Q_OBJECT
public:
    explicit CPageStartup(QWidget* parent = nullptr);
    bool Store() override;

protected:
    void Load() override;

private:
    void UpdateEnabling();

    QCheckBox* m_pRunAtLogon;
    QCheckBox* m_pReload;
    QCheckBox* m_pJumpToEnd;
    QCheckBox* m_pAutoScan;
    QCheckBox* m_pRunDelay;
    QLineEdit* m_pScanDelay;
    QCheckBox* m_pAutoSave;
    QCheckBox* m_pNoConfirmExit;
};

// "Backups": workspace backups and their folder.
class CPageBackups : public CSettingsPage {
    Q_OBJECT
public:
    explicit CPageBackups(QWidget* parent = nullptr);
    bool Store() override;

protected:
    void Load() override;

private:
    void UpdateEnabling();

    QCheckBox* m_pAutoBackup;
    QLineEdit* m_pBackupDir;
    QToolButton* m_pChooseDir;
};

// "Audit": extended auditing and its two files.
class CPageAudit : public CSettingsPage {
    Q_OBJECT
public:
    explicit CPageAudit(QWidget* parent = nullptr);
    bool Store() override;

protected:
    void Load() override;

private:
    void UpdateEnabling();

    QCheckBox* m_pExtendedAudit;
    QCheckBox* m_pAuditBackup;
    QLineEdit* m_pAuditText;
    QLineEdit* m_pAuditNT;
    QList<QToolButton*> m_arrButtons;
};
