#pragma once
// "Choose Watch Group": picks one watch group of a log, or "(Add new
// group)" (CHOOSE_NEW_WATCH_GROUP). User interface thread only.
#include <QDialog>

class QComboBox;
class CMonitoredObject;

class CDlgChooseWatchGroup : public QDialog {
    Q_OBJECT
public:
    CDlgChooseWatchGroup(const CMonitoredObject& log, QWidget* parent = nullptr);
    // The number of the selected entry: a group's position or
    // CHOOSE_NEW_WATCH_GROUP.
    int GetChoice() const;

private:
    QComboBox* m_pGroups;
};
