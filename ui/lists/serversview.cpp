#include "ui/lists/serversview.h"

namespace {

const CListKind& EventLogList()
{
    using F = ELogField;
    static const CListKind kind{
        true,
        {
            {1, "Computer\\Log", false, "Description", F::DisplayName},
            {2, "Enabled", false, "Enabled", F::Enabled},
            {4, "Last Scanned", false, "Last scan", F::LastScanned},
            {8, "Next Scan", false, "Next scan", F::NextScan},
            {16, "Last Changed", false, "Last change", F::LastChanged},
            {32, "Last Rec", true, "Last record", F::LastRecord},
            {64, "Interval", true, "Interval", F::Interval},
            {128, "Impersonate", false, "Impersonated", F::Impersonate},
            {256, "Username", false, "Username", F::Username},
            {512, "Status", false, "Status", F::Status},
        },
        {ID_LOG_CONFIGURE, ID_LOG_DELETE, ID_LOG_ENABLE, ID_LOG_RENAME, 0, ID_LOG_CLEAR,
         ID_LOG_MARK, ID_LOG_FAST_MARK, 0, ID_EDIT_COPY, ID_EDIT_PASTE, 0},
        &CServersView::Columns(),
    };
    return kind;
}

} // namespace

CServersView::CServersView(IMainFrame& frame, QWidget* parent)
    : CLogListView(frame, EventLogList(), parent)
{
}

CColumnLayout& CServersView::Columns()
{
    static CColumnLayout layout({"ServerNumColumns", "ServerColFlags", "ServerColWidths"});
    return layout;
}
