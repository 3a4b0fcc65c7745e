#include "ui/tree/pasteanalysis.h"

#include "ui/tree/treenodes.h"

PasteResult AnalysePaste(unsigned offers, DWORD targetKind, bool bEventLog)
{
    const bool bLog = IsLogKind(targetKind);
    const bool bGroup = targetKind == TREE_KIND_WATCH_GROUP;
    const bool bKey = targetKind == TREE_KIND_SEARCH_KEY;
    const bool bEventSide = (bLog || bGroup || bKey) && bEventLog;
    const bool bTextSide = (bLog || bGroup || bKey) && !bEventLog;
    const auto has = [offers](unsigned offer) { return (offers & offer) != 0; };

    if (targetKind == ITEM_KIND_SYSTEM_LOG)
        return PASTE_NONE;

    if (has(OFFER_EVENT_KEY)) {
        if (bEventSide && (bLog || bGroup))
            return PASTE_ADD_EVENT_KEY;
        if (bEventSide && bKey)
            return PASTE_REPLACE_EVENT_KEY;
        return PASTE_NONE;
    }

    const unsigned ownAbovePlainText =
        OFFER_EVENT_WATCH | OFFER_TEXT_WATCH | OFFER_TASK | OFFER_TEXT_KEY;
    const bool bTextKey =
        has(OFFER_TEXT_KEY) || (has(OFFER_PLAIN_TEXT) && (offers & ownAbovePlainText) == 0);
    if (bTextKey && bTextSide && (bLog || bGroup))
        return PASTE_ADD_TEXT_KEY;
    if (bTextKey && bTextSide && bKey)
        return PASTE_REPLACE_TEXT_KEY;

    if (has(OFFER_EVENT_WATCH) && bEventSide && bLog)
        return PASTE_ADD_EVENT_WATCH;
    if (has(OFFER_EVENT_WATCH) && bEventSide && bGroup)
        return PASTE_REPLACE_EVENT_WATCH;
    if (has(OFFER_TEXT_WATCH) && bTextSide && bLog)
        return PASTE_ADD_TEXT_WATCH;
    if (has(OFFER_TEXT_WATCH) && bTextSide && bGroup)
        return PASTE_REPLACE_TEXT_WATCH;
    if (has(OFFER_TASK) && (targetKind == TREE_KIND_TASK || bGroup))
        return PASTE_REPLACE_TASK;

    if (has(OFFER_TEXT_LOG) && !has(OFFER_TEXT_KEY) && !has(OFFER_PLAIN_TEXT)) {
        if (targetKind == TREE_KIND_TEXT_ROOT)
            return PASTE_ADD_TEXT_LOG;
        if (targetKind == ITEM_KIND_TEXT_LOG)
            return PASTE_REPLACE_TEXT_LOG_WATCHES;
    }
    if (has(OFFER_EVENT_LOG)) {
        if (targetKind == TREE_KIND_EVENT_ROOT)
            return PASTE_ADD_EVENT_LOG;
        if (targetKind == ITEM_KIND_EVENT_LOG)
            return PASTE_REPLACE_EVENT_LOG_WATCHES;
    }
    return PASTE_NONE;
}

const char* PasteSuffix(int result)
{
    static const char* const suffixes[] = {
        "",
        "(Add text key)",
        "(Add event key)",
        "(Replace text key)",
        "(Replace event key)",
        "(Add text watch)",
        "(Add event watch)",
        "(Replace text watch)",
        "(Replace event watch)",
        "(Replace task)",
        "(Add text log)",
        "(Add event log)",
        "(Replace event log watches)",
        "(Replace text log watches)",
    };
    return result > 0 && result <= PASTE_REPLACE_TEXT_LOG_WATCHES ? suffixes[result] : "";
}

std::string PasteMenuText(int result)
{
    if (*PasteSuffix(result) == '\0')
        return "&Paste ";
    return std::string("&Paste ") + PasteSuffix(result) + "\tCtrl+V";
}
