#pragma once
// "Formatted Filename": builds a date template of a text log's file name
// (at most 50 characters) with one button per date field, and shows the
// names it gives for the ten days before today, today and the nine days
// after. OK needs a template of at least 2 characters. User interface
// thread only.
#include <QDialog>
#include <string>

class QLineEdit;
class QListWidget;

class CDlgFormattedFilename : public QDialog {
    Q_OBJECT
public:
    CDlgFormattedFilename(const std::string& strTemplate, QWidget* parent = nullptr);

    std::string GetTemplate() const;
    // Inserts a field code at the caret, replacing any selection.
    void InsertCode(const QString& code);
    QListWidget* GetSamples() const { return m_pSamples; }

    void accept() override;

private:
    void RefreshSamples();

    QLineEdit* m_pTemplate;
    QListWidget* m_pSamples;
};
