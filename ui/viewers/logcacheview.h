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
// When the scan reports that the file changed, only the bytes appended since
// the last load are read (the whole file again when it was replaced or cut).
// The reader keeps their line and caret; with "Follow" checked the view goes
// to the end with every change. Follow checks itself when the reader scrolls
// to the end and clears itself when they scroll up.
//
// Threads: user interface thread only (the worker is internal). The view
// registers itself with the frame's document in its constructor and removes
// itself in its destructor; the frame must outlive it.
#include <QWidget>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/common/commandtarget.h"
#include "workspace/quorvildoc.h"

class CFindDialog;
class CHighlightLegend;
class CTextLoad;
class CTextPane;
class IMainFrame;
class QProgressBar;
class QToolButton;

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
    // Following the end of the file as it grows.
    bool IsFollowing() const;
    void SetFollowing(bool bFollow);
    // The size of the blocks read by later loads (tests use small ones).
    void SetLoadBlockSize(std::size_t nBytes) { m_nBlockBytes = nBytes; }

    // Commands and their enabling.
    void OnCopy();
    void OnFind();
    // Searches forward from one character after the start of the selection
    // and selects the find; false when nothing was found or the search text
    // is empty or 100 characters or longer. Nothing found says so and offers
    // to go on from the top.
    bool OnFindNext();
    // The same backwards from the start of the selection (Shift+F3),
    // offering to go on from the end.
    bool OnFindPrevious();
    void OnRefresh();
    void OnSendToEditor();
    void OnMark();
    void OnFastMark();
    void OnWatchText();
    // Line numbers beside the text, for every text viewer of the process.
    void OnToggleLineNumbers();
    // "Go to Line" (Ctrl+G): asks for a line number and puts the caret there.
    void OnGoToLine();
    // Lines that one of the log's watch groups would catch show in the
    // group's colour, named by the legend; Ctrl+Down and Ctrl+Up put the
    // caret on the next and previous such line. False when there is none.
    bool OnNextMatch(bool bForward);
    CHighlightLegend* GetLegend() const { return m_pLegend; }
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
    // Reads what was appended to the file since the last load.
    void LoadAppended();
    void StartLoad(int fd, bool bAppend);
    // The file opened under the account of the view's log: impersonation
    // holds for this thread only, so the file is opened here and read by the
    // worker. nullopt when the logon failed (it said why), -1 when the open did.
    std::optional<int> OpenAsLog(const std::string& localPath);
    void OnScrolled();
    // The group of a line (-1: none), found once per line.
    int GroupOfLine(std::size_t nLine);
    void UpdateHighlights();
    bool Find(bool bForward);
    void ApplyFont();
    void FinishLoad();
    void NotifyState(int nState);
    void ShowContextMenu(const QPoint& pos);
    bool eventFilter(QObject* watched, QEvent* event) override;

    IMainFrame& m_frame;
    CTextPane* m_pPane;
    QProgressBar* m_pProgress;
    QToolButton* m_pFollow;
    CHighlightLegend* m_pLegend;
    CFindDialog* m_pFind = nullptr;
    DWORD m_dwID = 0;
    std::size_t m_nBlockBytes = 0;         // 0: the loader's default
    bool m_bNotifying = false;             // telling the document of the log's state
    std::shared_ptr<CTextLoad> m_pLoad;    // the current load, cancelled by the next
    std::size_t m_nFileBytes = 0;          // the file's bytes in the pane
    std::vector<signed char> m_lineGroups; // by line: -2 not known yet, -1 none
    bool m_bChangedWhileLoading = false;
    // Where the reader was when a full reload began.
    std::size_t m_nKeptTop = 0, m_nKeptAnchor = 0, m_nKeptCursor = 0;
};
