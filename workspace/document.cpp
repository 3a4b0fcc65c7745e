#include "workspace/document.h"

#include <algorithm>

#include "common/brancmn.h"

IMPLEMENT_DYNAMIC(CHintStruct, CObject)

namespace {

CHeadlessDocumentUi g_headlessUi;

} // namespace

CDocument::CDocument() : m_pUi(&g_headlessUi) {}

void CDocument::SetUi(IDocumentUi* pUi)
{
    m_pUi = pUi ? pUi : &g_headlessUi;
}

void CDocument::SetPathName(const std::string& path)
{
    m_strPathName = path;
    m_strTitle = JustFilename(path.c_str());
}

void CDocument::ClearPathName(const std::string& title)
{
    m_strPathName.clear();
    m_strTitle = title;
}

void CDocument::AddView(IView* pView)
{
    if (pView && std::find(m_views.begin(), m_views.end(), pView) == m_views.end())
        m_views.push_back(pView);
}

void CDocument::RemoveView(IView* pView)
{
    std::erase(m_views, pView);
}

void CDocument::UpdateAllViews(ViewHint hint, const CHintStruct* pHint)
{
    // A view may register or unregister views while it updates.
    std::vector<IView*> views = m_views;
    for (IView* pView : views)
        if (std::find(m_views.begin(), m_views.end(), pView) != m_views.end())
            pView->OnUpdate(hint, pHint);
}

void CDocument::SendHint(ViewHint hint, DWORD dwID, int nGroup, int nKey, DWORD dwExtra)
{
    CHintStruct hintStruct(dwID, nGroup, nKey, dwExtra);
    UpdateAllViews(hint, &hintStruct);
}

void CDocument::Modified(ViewHint hint, DWORD dwID, int nGroup, int nKey)
{
    SetModifiedFlag();
    SendHint(hint, dwID, nGroup, nKey);
}
