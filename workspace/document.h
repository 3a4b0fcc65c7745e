#pragma once
// CDocument: what every document has, whatever it holds: its path name and
// title, the modified flag, the views it tells about changes, and the
// dialogs and message boxes it asks the user through.
//
// Threads: user interface thread only. Views and the UI are not owned;
// they must outlive their registration.
#include <string>
#include <vector>

#include "workspace/documentui.h"
#include "workspace/viewhints.h"

class CDocument : public CObject {
public:
    CDocument();
    CDocument(const CDocument&) = delete;
    CDocument& operator=(const CDocument&) = delete;

    // The dialogs and message boxes; null restores the headless answers.
    void SetUi(IDocumentUi* pUi);
    IDocumentUi& GetUi() const { return *m_pUi; }

    const std::string& GetPathName() const { return m_strPathName; }
    // Also sets the title to the file name.
    void SetPathName(const std::string& path);
    const std::string& GetTitle() const { return m_strTitle; }
    void SetTitle(const std::string& title) { m_strTitle = title; }
    BOOL IsModified() const { return m_bModified; }
    void SetModifiedFlag(BOOL bModified = TRUE) { m_bModified = bModified; }

    void AddView(IView* pView);
    void RemoveView(IView* pView);
    void UpdateAllViews(ViewHint hint, const CHintStruct* pHint = nullptr);
    // One hint about a log (and its group and key) to every view.
    void SendHint(ViewHint hint, DWORD dwID, int nGroup = 0, int nKey = 0, DWORD dwExtra = 0);
    // Sets the modified flag, then SendHint.
    void Modified(ViewHint hint, DWORD dwID, int nGroup = 0, int nKey = 0);

protected:
    // No path name and the given title.
    void ClearPathName(const std::string& title);

private:
    IDocumentUi* m_pUi;
    std::vector<IView*> m_views;
    std::string m_strPathName;
    std::string m_strTitle;
    BOOL m_bModified = FALSE;
};
