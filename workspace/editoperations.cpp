#include "workspace/editoperations.h"

#include "workspace/docstrings.h"
#include "workspace/managerops.h"
#include "workspace/script.h"

BOOL CDocumentEditor::ConfirmDelete()
{
    return m_doc.GetUi().MessageBox(IDS_CONFIRM_DELETE, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

DWORD CDocumentEditor::AddMonitoredLog(std::unique_ptr<CMonitoredObject> pLog)
{
    if (!m_pManager || !pLog)
        return 0;
    DWORD dwID = pLog->GetID();
    m_pManager->AddLog(pLog.release());
    m_doc.Modified(ViewHint::LogAdded, dwID);
    return dwID;
}

BOOL CDocumentEditor::DeleteMonitoredLog(DWORD dwID)
{
    if (!m_pManager || !ConfirmDelete())
        return 0;
    m_pManager->DeleteLog(dwID);
    m_doc.Modified(ViewHint::LogDeleted, dwID);
    return TRUE;
}

BOOL CDocumentEditor::EditLogProperties(DWORD dwID)
{
    if (!m_pManager)
        return FALSE;
    CScanPause pause(m_pManager.get());
    if (!::EditLogProperties(*m_pManager, dwID, m_doc.GetUi()))
        return FALSE;
    m_doc.Modified(ViewHint::LogEdited, dwID);
    return TRUE;
}

BOOL CDocumentEditor::ToggleLogEnabled(DWORD dwID)
{
    if (!m_pManager)
        return FALSE;
    m_pManager->ToggleLogEnabled(dwID);
    m_doc.Modified(ViewHint::LogEnabled, dwID);
    return TRUE;
}

BOOL CDocumentEditor::ClearLog(DWORD dwID)
{
    if (!m_pManager || !m_pManager->ClearLog(dwID))
        return FALSE;
    m_doc.SendHint(ViewHint::LogState, dwID);
    return TRUE;
}

BOOL CDocumentEditor::MarkLog(DWORD dwID, const std::string& text)
{
    if (!m_pManager)
        return FALSE;
    BOOL bResult = m_pManager->MarkLog(dwID, text);
    if (bResult)
        m_doc.SendHint(ViewHint::LogState, dwID);
    return bResult;
}

void CDocumentEditor::ReplaceWatchGroups(DWORD dwTargetID, const CMonitoredObject& source)
{
    if (!m_pManager)
        return;
    m_pManager->ReplaceWatchGroups(dwTargetID, source);
    m_doc.Modified(ViewHint::LogEdited, dwTargetID);
}

void CDocumentEditor::MergeWatchGroups(DWORD dwTargetID, const CMonitoredObject& source)
{
    if (!m_pManager)
        return;
    m_pManager->MergeWatchGroups(dwTargetID, source);
    m_doc.Modified(ViewHint::LogEdited, dwTargetID);
}

BOOL CDocumentEditor::EditWatchGroup(DWORD dwID, int nGroup)
{
    if (!m_pManager)
        return FALSE;
    CScanPause pause(m_pManager.get());
    if (!::EditWatchGroup(*m_pManager, dwID, nGroup, m_doc.GetUi()))
        return FALSE;
    m_doc.Modified(ViewHint::GroupEdited, dwID, nGroup);
    return TRUE;
}

BOOL CDocumentEditor::DeleteWatchGroup(DWORD dwID, int nGroup)
{
    if (!m_pManager)
        return 0;
    CScanPause pause(m_pManager.get());
    if (!ConfirmDelete())
        return 0;
    m_pManager->DeleteWatchGroup(dwID, nGroup);
    m_doc.Modified(ViewHint::GroupDeleted, dwID, nGroup);
    return TRUE;
}

int CDocumentEditor::AddWatchGroup(DWORD dwID, std::unique_ptr<CKeysAndActions> pGroup)
{
    if (!m_pManager)
        return -1;
    CScanPause pause(m_pManager.get());
    int nGroup = m_pManager->AddWatchGroup(dwID, pGroup.release());
    if (nGroup >= 0)
        m_doc.Modified(ViewHint::GroupAdded, dwID, nGroup);
    return nGroup;
}

void CDocumentEditor::SetWatchGroup(DWORD dwID, int nGroup, const CKeysAndActions& group)
{
    if (!m_pManager)
        return;
    CScanPause pause(m_pManager.get());
    m_pManager->SetWatchGroup(dwID, nGroup, group);
    m_doc.Modified(ViewHint::GroupEdited, dwID, nGroup);
}

BOOL CDocumentEditor::EditTask(DWORD dwID, int nGroup)
{
    if (!m_pManager)
        return FALSE;
    CScanPause pause(m_pManager.get());
    m_pManager->EditTask(dwID, nGroup);
    m_doc.Modified(ViewHint::TaskEdited, dwID, nGroup);
    return TRUE;
}

void CDocumentEditor::SetTask(DWORD dwID, int nGroup, const CTask& task)
{
    if (!m_pManager)
        return;
    CScanPause pause(m_pManager.get());
    m_pManager->SetTask(dwID, nGroup, task);
    m_doc.Modified(ViewHint::TaskEdited, dwID, nGroup);
}

BOOL CDocumentEditor::EditSearchKey(DWORD dwID, int nGroup, int nKey)
{
    if (!m_pManager)
        return FALSE;
    CScanPause pause(m_pManager.get());
    if (!::EditSearchKey(*m_pManager, dwID, nGroup, nKey, m_doc.GetUi()))
        return FALSE;
    m_doc.Modified(ViewHint::KeyEdited, dwID, nGroup, nKey);
    return TRUE;
}

BOOL CDocumentEditor::SetSearchKey(DWORD dwID, int nGroup, int nKey, const CSearchKey& key)
{
    if (!m_pManager)
        return FALSE;
    CScanPause pause(m_pManager.get());
    if (!m_pManager->SetSearchKey(dwID, nGroup, nKey, key))
        return FALSE;
    m_doc.Modified(ViewHint::KeyEdited, dwID, nGroup, nKey);
    return TRUE;
}

int CDocumentEditor::AddSearchKey(DWORD dwID, int nGroup, std::unique_ptr<CSearchKey> pKey)
{
    if (!m_pManager)
        return -1;
    CScanPause pause(m_pManager.get());
    int nKey = m_pManager->AddSearchKey(dwID, nGroup, pKey.release());
    if (nKey >= 0)
        m_doc.Modified(ViewHint::KeyAdded, dwID, nGroup, nKey);
    return nKey;
}

BOOL CDocumentEditor::DeleteSearchKey(DWORD dwID, int nGroup, int nKey)
{
    if (!m_pManager)
        return FALSE;
    CScanPause pause(m_pManager.get());
    m_pManager->DeleteSearchKey(dwID, nGroup, nKey);
    m_doc.Modified(ViewHint::KeyDeleted, dwID, nGroup, nKey);
    return TRUE;
}

BOOL CDocumentEditor::RunScript(const std::string& path)
{
    if (!m_pManager)
        return FALSE;
    BOOL bResult = ::RunScript(*m_pManager, path);
    m_doc.UpdateAllViews(ViewHint::ScriptRun);
    return bResult;
}
