#pragma once
// "Event Log Key Properties": edits one event search key field by field.
// Each field's box shows the description of its criterion; its edit button
// opens "Extended Comparisons" and sets the field from the result. The
// dialog works on a copy and assigns it to the key on OK, which needs at
// least one field set. User interface thread only.
#include <QDialog>
#include <array>

#include "match/searchkeyevent.h"
#include "ui/dialogs/eventfields.h"

class QLabel;
class QLineEdit;
class QToolButton;

class CDlgEventKey : public QDialog {
    Q_OBJECT
public:
    CDlgEventKey(CSearchKeyEvent& key, QWidget* parent = nullptr);

    // The working copy, as the field edits left it.
    const CSearchKeyEvent& GetWorkingKey() const { return m_work; }
    // Opens "Extended Comparisons" for the field and applies its result.
    void EditField(EventField field);
    QString GetInfoText() const;

    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Refresh();

    CSearchKeyEvent& m_key;
    CSearchKeyEvent m_work;
    std::array<QLineEdit*, 7> m_boxes{};
    QLabel* m_pInfo;
};
