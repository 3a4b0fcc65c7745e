#pragma once
// "Test Keys": the key tester (tasks/keytester.h) in a window of its own.
// One pastes or loads sample lines; every line some key matches is listed
// with its groups, keys, captures, rules and whether the task would run, and
// the hits are highlighted in the sample, all updated while typing. The
// window works on copies of the log's groups (all, or the one named) taken
// when it opens, and runs nothing. User interface thread only.
#include <QDialog>
#include <memory>
#include <string>

class QPlainTextEdit;
class QTreeWidget;
class CMonitoredObject;
class CKeyTester;

class CDlgKeyTester : public QDialog {
    Q_OBJECT
public:
    CDlgKeyTester(const CMonitoredObject& log, const std::string& strGroup,
                  QWidget* parent = nullptr);
    ~CDlgKeyTester() override;

    QPlainTextEdit* GetSample() const { return m_pSample; }
    QTreeWidget* GetResults() const { return m_pResults; }
    void LoadFile(const QString& path);

private:
    void Update();

    std::unique_ptr<CMonitoredObject> m_pLog; // the copy whose groups are tested
    std::string m_strGroup;
    QPlainTextEdit* m_pSample;
    QTreeWidget* m_pResults;
};
