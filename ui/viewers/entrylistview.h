#pragma once
// CEntryListView: the viewer of a journal or .evtx log in the right pane.
// It opens on the newest page of entries at once, however large the log,
// reads earlier pages on request ("Earlier Entries"), and, while Follow is
// on, appends new entries as they come and keeps the newest in view. The
// pane below the list shows every field of the selected entry.
//
// The viewer reads through its own journal handle or file, on the window's
// thread, a page at a time; the scan thread keeps its own.
//
// Threads: user interface thread only. The view registers itself with the
// frame's document and removes itself when it goes.
#include <QWidget>
#include <memory>

#include "ui/common/commandtarget.h"
#include "workspace/quorvildoc.h"

class CEntryListModel;
class IEntrySource;
class IMainFrame;
class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSocketNotifier;
class QTableView;
class QTimer;

class CEntryListView : public QWidget, public IView, public ICommandTarget {
    Q_OBJECT
public:
    static constexpr std::size_t PAGE_ROWS = 2000;

    explicit CEntryListView(IMainFrame& frame, QWidget* parent = nullptr);
    ~CEntryListView() override;

    // Whether the log is one this viewer shows (a journal or .evtx log).
    static bool Shows(CQuorvilDoc& doc, DWORD dwID);
    // Shows the log and reads its newest page; 0 shows nothing.
    void ShowItem(DWORD dwID);
    DWORD GetItem() const { return m_dwID; }

    void OnUpdate(ViewHint hint, const CHintStruct* pHint) override;
    bool UpdateCommand(UINT nID, CCommandState& state) override;
    bool OnCommand(UINT nID) override;

    // Reads the page before the first row; the rows in view stay in view.
    void ReadEarlier();
    // Reads what came after the last row (the timer and the journal's
    // descriptor call it while Follow is on).
    void ReadNew();
    void SetFollow(bool bFollow);
    bool IsFollowing() const;

    CEntryListModel* GetModel() const { return m_pModel; }
    QTableView* GetList() const { return m_pList; }
    QPlainTextEdit* GetDetail() const { return m_pDetail; }
    QString GetStatusText() const;

private:
    void Reload();
    void Empty();
    void ShowStatus();
    void UpdateDetail();
    void CopySelection();

    IMainFrame& m_frame;
    DWORD m_dwID = 0;
    std::unique_ptr<IEntrySource> m_pSource;
    CEntryListModel* m_pModel = nullptr;
    QTableView* m_pList;
    QPlainTextEdit* m_pDetail;
    QCheckBox* m_pFollow;
    QPushButton* m_pEarlier;
    QLabel* m_pStatus;
    QTimer* m_pPoll;
    QSocketNotifier* m_pNotifier = nullptr;
    QString m_strError;
    bool m_bAtStart = false; // the first row is the log's oldest
};
