#pragma once
// CLogCacheView: the read-only text viewer of the right pane. It shows the
// whole content of one text file: a monitored text log, the program's system
// log (0x30000000), the text audit file (0xB0000000) or the event audit file
// (0xC0000000). The user copies and searches text, marks the log, sends the
// file to the editor and turns selected text into a new text key
// ("Watch this text").
//
// Loading reads the file on a worker thread in blocks and hands the blocks to
// the window thread through queued calls, so a file of hundreds of megabytes
// never freezes the window; a progress bar shows how far it got. A new load
// abandons the previous one; the window thread never waits for a worker. The
// text pane keeps the bytes with an index of lines and draws only the lines
// in view (ui/viewers/textpane.h).
//
// Threads: user interface thread only (the worker is internal). The view
// registers itself with the frame's document in its constructor and removes
// itself in its destructor; the frame must outlive it.
#include <QWidget>
#include <cstddef>
#include <memory>
#include <string>

#include "ui/common/commandtarget.h"
#include "workspace/quorvildoc.h"

class CFindDialog;
class CTextLoad;
class CTextPane;
class IMainFrame;
class QProgressBar;

class CLogCacheView : public QWidget, public IView, public ICommandTarget {
    Q_OBJECT
public:
    explicit CLogCacheView(IMainFrame& frame, QWidget* parent = nullptr);
    ~CLogCacheView() override;

    // Shows a text log by identifier or one of the special items, and
    // reloads; 0 shows nothing.
    void ShowItem(DWORD dwID);
    DWORD GetItem() const { return m_dwID; }

    void OnUpdate(ViewHint hint, const CHintStruct* pHint) override;
    bool UpdateCommand(UINT nID, CCommandState& state) override;
    bool OnCommand(UINT nID) override;

    // The path of the shown item, empty when there is none.
    std::string GetItemPath() const;
    // True while a load is running.
    bool IsLoading() const;
    // The size of the blocks read by later loads (tests use small ones).
    void SetLoadBlockSize(std::size_t nBytes) { m_nBlockBytes = nBytes; }

    // Commands and their enabling.
    void OnCopy();
    void OnFind();
    // Searches forward from one character after the start of the selection
    // and selects the find; false when nothing was found or the search text
    // is empty or 100 characters or longer.
    bool OnFindNext();
    void OnRefresh();
    void OnSendToEditor();
    void OnMark();
    void OnFastMark();
    void OnWatchText();
    bool IsRefreshEnabled() const { return m_dwID != 0; }
    bool IsWatchTextEnabled() const;

    // The Find options and the last search text.
    bool m_bMatchCase = false;
    bool m_bWholeWord = false;
    std::string m_strLastSearch;

    CTextPane* GetPane() const { return m_pPane; }
    // The Find dialog while it is open, else null.
    CFindDialog* GetFindDialog() const { return m_pFind; }

signals:
    // A load ended (also when it failed).
    void Loaded();

private:
    friend class CFindDialog;
    void Reload();
    void ApplyFont();
    void FinishLoad();
    void NotifyState(int nState);
    void ShowContextMenu(const QPoint& pos);
    bool eventFilter(QObject* watched, QEvent* event) override;

    IMainFrame& m_frame;
    CTextPane* m_pPane;
    QProgressBar* m_pProgress;
    CFindDialog* m_pFind = nullptr;
    DWORD m_dwID = 0;
    std::size_t m_nBlockBytes = 0;      // 0: the loader's default
    bool m_bNotifying = false;          // telling the document of the log's state
    std::shared_ptr<CTextLoad> m_pLoad; // the current load, cancelled by the next
};
