#include "ui/tree/pasteanalysis.h"
#include "ui/tree/pastesource.h"
#include "ui/tree/treenodes.h"
#include "widgettest.h"

namespace {

struct CTarget {
    DWORD kind;
    bool bEventLog;
    const char* name;
};

const CTarget TEXT_ROOT{TREE_KIND_TEXT_ROOT, false, "text-log root"};
const CTarget EVENT_ROOT{TREE_KIND_EVENT_ROOT, false, "event-log root"};
const CTarget SYSTEM_LOG{ITEM_KIND_SYSTEM_LOG, false, "system log file"};
const CTarget TEXT_LOG{ITEM_KIND_TEXT_LOG, false, "text log"};
const CTarget EVENT_LOG{ITEM_KIND_EVENT_LOG, true, "event log"};
const CTarget TEXT_GROUP{TREE_KIND_WATCH_GROUP, false, "text watch group"};
const CTarget EVENT_GROUP{TREE_KIND_WATCH_GROUP, true, "event watch group"};
const CTarget TEXT_TASK{TREE_KIND_TASK, false, "task of a text log"};
const CTarget EVENT_TASK{TREE_KIND_TASK, true, "task of an event log"};
const CTarget TEXT_KEY{TREE_KIND_SEARCH_KEY, false, "text key"};
const CTarget EVENT_KEY{TREE_KIND_SEARCH_KEY, true, "event key"};

} // namespace

TEST(PasteAnalysis, DecidesByTheFirstMatchingRule)
{
    struct CRow {
        unsigned offers;
        CTarget target;
        int result;
    } const rows[] = {
        // The system log file takes nothing.
        {OFFER_TEXT_KEY, SYSTEM_LOG, PASTE_NONE},
        // Event keys: on event logs and their groups and keys only, and they
        // decide alone even when other data would fit.
        {OFFER_EVENT_KEY, EVENT_LOG, PASTE_ADD_EVENT_KEY},
        {OFFER_EVENT_KEY, EVENT_GROUP, PASTE_ADD_EVENT_KEY},
        {OFFER_EVENT_KEY, EVENT_KEY, PASTE_REPLACE_EVENT_KEY},
        {OFFER_EVENT_KEY, EVENT_TASK, PASTE_NONE},
        {OFFER_EVENT_KEY | OFFER_TEXT_KEY, TEXT_LOG, PASTE_NONE},
        {OFFER_EVENT_KEY | OFFER_TASK, EVENT_TASK, PASTE_NONE},
        // Watch groups keep to their kind of log.
        {OFFER_EVENT_WATCH, EVENT_LOG, PASTE_ADD_EVENT_WATCH},
        {OFFER_EVENT_WATCH, EVENT_GROUP, PASTE_REPLACE_EVENT_WATCH},
        {OFFER_TEXT_WATCH, TEXT_LOG, PASTE_ADD_TEXT_WATCH},
        {OFFER_TEXT_WATCH, TEXT_GROUP, PASTE_REPLACE_TEXT_WATCH},
        {OFFER_TEXT_WATCH, EVENT_LOG, PASTE_NONE},
        // A task replaces the task of any group.
        {OFFER_TASK, TEXT_TASK, PASTE_REPLACE_TASK},
        {OFFER_TASK, EVENT_GROUP, PASTE_REPLACE_TASK},
        {OFFER_TASK, TEXT_LOG, PASTE_NONE},
        // Text keys and plain text on text logs, their groups and keys.
        {OFFER_TEXT_KEY, TEXT_LOG, PASTE_ADD_TEXT_KEY},
        {OFFER_TEXT_KEY, TEXT_GROUP, PASTE_ADD_TEXT_KEY},
        {OFFER_TEXT_KEY, TEXT_KEY, PASTE_REPLACE_TEXT_KEY},
        {OFFER_TEXT_KEY, EVENT_LOG, PASTE_NONE},
        {OFFER_TEXT_KEY, EVENT_ROOT, PASTE_NONE},
        {OFFER_PLAIN_TEXT, TEXT_LOG, PASTE_ADD_TEXT_KEY},
        {OFFER_PLAIN_TEXT, TEXT_KEY, PASTE_REPLACE_TEXT_KEY},
        {OFFER_PLAIN_TEXT, TEXT_ROOT, PASTE_NONE},
        // A text key comes before watch groups, tasks and logs.
        {OFFER_TEXT_KEY | OFFER_TEXT_WATCH, TEXT_LOG, PASTE_ADD_TEXT_KEY},
        {OFFER_TEXT_KEY | OFFER_TASK, TEXT_GROUP, PASTE_ADD_TEXT_KEY},
        {OFFER_TEXT_KEY | OFFER_TEXT_LOG, TEXT_ROOT, PASTE_NONE},
        {OFFER_TEXT_KEY | OFFER_TASK, TEXT_TASK, PASTE_REPLACE_TASK},
        // Plain text counts only without the program's own group, task and
        // key formats, and hides a text log.
        {OFFER_PLAIN_TEXT | OFFER_TEXT_WATCH, TEXT_LOG, PASTE_ADD_TEXT_WATCH},
        {OFFER_PLAIN_TEXT | OFFER_TASK, TEXT_GROUP, PASTE_REPLACE_TASK},
        {OFFER_PLAIN_TEXT | OFFER_TEXT_LOG, TEXT_LOG, PASTE_ADD_TEXT_KEY},
        {OFFER_PLAIN_TEXT | OFFER_TEXT_LOG, TEXT_ROOT, PASTE_NONE},
        // Logs: added on their root, their groups copied onto a log.
        {OFFER_TEXT_LOG, TEXT_ROOT, PASTE_ADD_TEXT_LOG},
        {OFFER_TEXT_LOG, TEXT_LOG, PASTE_REPLACE_TEXT_LOG_WATCHES},
        {OFFER_TEXT_LOG, EVENT_ROOT, PASTE_NONE},
        {OFFER_EVENT_LOG, EVENT_ROOT, PASTE_ADD_EVENT_LOG},
        {OFFER_EVENT_LOG, EVENT_LOG, PASTE_REPLACE_EVENT_LOG_WATCHES},
        {OFFER_EVENT_LOG | OFFER_PLAIN_TEXT, EVENT_ROOT, PASTE_ADD_EVENT_LOG},
    };
    for (const CRow& row : rows)
        EXPECT_EQ(AnalysePaste(row.offers, row.target.kind, row.target.bEventLog), row.result)
            << "offers 0x" << std::hex << row.offers << " on the " << row.target.name;
}

TEST(PasteAnalysis, PlainTextBecomesOneTrimmedLineOfAtMost99Characters)
{
    EXPECT_EQ(TextKeyFromPlainText("  disk full on /var  \nsecond line"), "disk full on /var");
    EXPECT_EQ(TextKeyFromPlainText("a\tb\rc"), "a\tb");
    EXPECT_EQ(TextKeyFromPlainText(std::string(120, 'x')), std::string(99, 'x'));
    EXPECT_EQ(TextKeyFromPlainText(std::string(98, 'x') + "  yy"), std::string(98, 'x'));
    EXPECT_EQ(TextKeyFromPlainText("\nfirst line empty"), "");
    EXPECT_EQ(TextKeyFromPlainText("Fehler: Größe"), "Fehler: Größe");
}
