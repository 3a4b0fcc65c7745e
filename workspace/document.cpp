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

void CDocument::UpdateAllViews(LPARAM lHint, const CHintStruct* pHint)
{
    // A view may register or unregister views while it updates.
    std::vector<IView*> views = m_views;
    for (IView* pView : views)
        if (std::find(m_views.begin(), m_views.end(), pView) != m_views.end())
            pView->OnUpdate(lHint, pHint);
}

void CDocument::SendHint(LPARAM lHint, DWORD dwID, int nGroup, int nKey, DWORD dwExtra)
{
    CHintStruct hint(dwID, nGroup, nKey, dwExtra);
    UpdateAllViews(lHint, &hint);
}

void CDocument::Modified(LPARAM lHint, DWORD dwID, int nGroup, int nKey)
{
    SetModifiedFlag();
    SendHint(lHint, dwID, nGroup, nKey);
}
