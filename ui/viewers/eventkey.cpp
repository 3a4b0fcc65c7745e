#include "ui/viewers/eventkey.h"

#include <QMimeData>

#include "core/keysandactions.h"
#include "platform/clipboard/clipboard.h"
#include "ui/common/qtstrings.h"
#include "workspace/quorvildoc.h"

std::unique_ptr<CSearchKeyEvent> MakeEventKey(const CEventStruct& event)
{
    auto pKey = std::make_unique<CSearchKeyEvent>();
    pKey->SetTypeValue(event.m_nEventType);
    pKey->SetSourceValue(event.m_strSource);
    pKey->SetCategoryValue(event.m_nCategory);
    pKey->SetEventIDValue(event.m_nEventID & 0xFFFF);
    pKey->SetUserValue(event.m_strUser);
    pKey->SetComputerValue(event.m_strComputer);
    return pKey;
}

std::unique_ptr<CSearchKeyText> MakeTextKey(const std::string& text)
{
    const char* const BLANKS = " \t\r\n\v\f";
    std::size_t nFirst = text.find_first_not_of(BLANKS);
    auto pKey = std::make_unique<CSearchKeyText>();
    if (nFirst != std::string::npos)
        pKey->m_strKey1 = text.substr(nFirst, text.find_last_not_of(BLANKS) - nFirst + 1);
    return pKey;
}

QMimeData* MakeKeyMimeData(const CSearchKey& key)
{
    CGlobalMemory hMem = key.CopyToGlobalMemory();
    std::string_view bytes = hMem.GetBytes();
    auto* pData = new QMimeData;
    pData->setData(ToQt(ClipboardFormatMimeType(key.GetClipFormat())),
                   QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return pData;
}

std::unique_ptr<CSearchKey> KeyFromMimeData(const QMimeData& data)
{
    for (BnClipFormat format : {BnClipFormat::SEARCHKEYEVENT, BnClipFormat::SEARCHKEYTEXT}) {
        QString mime = ToQt(ClipboardFormatMimeType(GetBnClipFormat(format)));
        if (!data.hasFormat(mime))
            continue;
        QByteArray bytes = data.data(mime);
        try {
            return CSearchKey::FromGlobalMemory(CGlobalMemory::FromBytes(bytes.toStdString()));
        } catch (const CException&) {
            return nullptr;
        }
    }
    return nullptr;
}

bool WatchNewKey(CQuorvilDoc& doc, DWORD dwID, std::unique_ptr<CSearchKey> pKey,
                 const std::function<BOOL(CSearchKey&)>& fnEdit)
{
    CMonitoredObject* pLog = doc.m_pManager ? doc.m_pManager->FindLog(dwID) : nullptr;
    if (!pLog)
        return false;
    const int nCount = pLog->GetWatchGroupCount();
    int nGroup = CHOOSE_NEW_WATCH_GROUP;
    if (nCount > 0) {
        nGroup = doc.GetUi().ChooseWatchGroup(*pLog);
        if (nGroup != CHOOSE_NEW_WATCH_GROUP && (nGroup < 0 || nGroup >= nCount))
            return false;
    }
    if (!fnEdit(*pKey))
        return false;
    if (nGroup == CHOOSE_NEW_WATCH_GROUP) {
        auto* pGroup = new CKeysAndActions;
        pGroup->m_strDescription = NewWatchGroupName(nCount);
        nGroup = doc.AddWatchGroup(dwID, pGroup);
        if (nGroup < 0)
            return false;
    }
    return doc.AddSearchKey(dwID, nGroup, pKey.release()) >= 0;
}
