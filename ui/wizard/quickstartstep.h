#pragma once
// One step of the Quick Start wizard: a modal dialog titled "Quorvil Quick
// Start ( Step N of 6 )" with a captioned group that holds the step's texts,
// choices and edit, and the buttons "Next >>", "Cancel" and "Help" (the last
// step: "Done" and "Help"). Help opens the manual at the step's topic.
//
// Threads: user interface thread only.
#include <QDialog>

class QGroupBox;
class QLineEdit;
class QRadioButton;
class QVBoxLayout;

class CQuickStartStep : public QDialog {
    Q_OBJECT
public:
    CQuickStartStep(int nStep, const char* caption, int nHelpTopic, QWidget* parent);

    // Adds to the group, top to bottom. Object names let tests find them.
    void AddText(const QString& text, const char* name = nullptr);
    QRadioButton* AddChoice(const char* name, const QString& text);
    QLineEdit* AddEdit(const char* name, const QString& text, int nMaxLength);

    int GetStep() const { return m_nStep; }

private:
    void ShowHelp() const;

    int m_nStep;
    int m_nHelpTopic;
    QVBoxLayout* m_pGroupLayout;
};
