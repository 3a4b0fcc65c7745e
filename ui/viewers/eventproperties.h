#pragma once
// The "Event Properties" dialog: every field of one record of the viewer's
// log, its description and category, with Previous/Next through the log
// (the viewer follows with its selection) and Copy, which puts the event on
// the clipboard as plain text lines.
//
// Threads: user interface thread only. The owner view must outlive the
// dialog; records are fetched through it each time, so a reload of the
// view while the dialog is open leaves no dangling record.
#include <QDialog>
#include <string>

#include "platform/base/win32types.h"

class CEventLogView;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

class CEventPropertiesDialog : public QDialog {
    Q_OBJECT
public:
    CEventPropertiesDialog(CEventLogView& owner, DWORD nRecord, QWidget* parent = nullptr);

    // Shows a record and selects it in the viewer; empty fields when the
    // record cannot be had.
    void ShowRecord(DWORD nRecord);
    DWORD GetRecord() const { return m_nRecord; }

    // Previous (older) and Next (newer) records; at either end of the log a
    // message box says so and the record stays. False then.
    bool OnPrevious();
    bool OnNext();
    // The event as clipboard text (lines ending in "\r\n"); empty when the
    // record cannot be had.
    std::string GetCopyText();
    // Puts GetCopyText on the clipboard as CF_TEXT.
    void OnCopy();

    // The text of a field by its object name ("computer", "eventId", "user",
    // "source", "type", "record", "generated", "written", "category",
    // "description").
    QString FieldText(const char* pszName) const;

private:
    QLineEdit* AddField(class QGridLayout* pGrid, int nRow, int nColumn, const char* pszLabel,
                        const char* pszName);

    CEventLogView& m_owner;
    DWORD m_nRecord = 0;
    QLabel* m_pIcon;
    QPlainTextEdit* m_pDescription;
    std::string m_strDescription; // as rendered, with its own line ends
};

// Opens the dialog modally on the record, over the frame's window.
void RunEventProperties(CEventLogView& owner, DWORD nRecord);
