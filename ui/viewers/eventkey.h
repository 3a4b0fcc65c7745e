#pragma once
// New search keys made from what a viewer shows, and search keys as MIME
// data for drag and drop and the clipboard.
//
// Threads: user interface thread only.
#include <functional>
#include <memory>
#include <string>

#include "match/searchkeyevent.h"
#include "match/searchkeytext.h"

class CQuorvilDoc;
class QMimeData;

// An event key whose type, source, category, event ID (low 16 bits), user
// and computer are the event's, each "is equal to".
std::unique_ptr<CSearchKeyEvent> MakeEventKey(const CEventStruct& event);
// A text key whose Key 1 is the text without leading and trailing white
// space; Key 2 empty.
std::unique_ptr<CSearchKeyText> MakeTextKey(const std::string& text);

// The key in its clipboard format's MIME type ("application/x-quorvil-cf-bn-
// searchkeyevent" and so on), with the clipboard's archive bytes. Owned by
// the caller.
QMimeData* MakeKeyMimeData(const CSearchKey& key);
// The key that MIME data carries, or null.
std::unique_ptr<CSearchKey> KeyFromMimeData(const QMimeData& data);

// "Watch this event/text": the watch group the user picks ("Choose Watch
// Group" when the log has groups), then the key dialog (fnEdit); on OK the
// key goes into that group, or into a new "<New Watch Group %d>" added only
// now, so Cancel leaves the log as it was. True when the key was added.
bool WatchNewKey(CQuorvilDoc& doc, DWORD dwID, std::unique_ptr<CSearchKey> pKey,
                 const std::function<BOOL(CSearchKey&)>& fnEdit);
