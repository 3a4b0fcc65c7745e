#include "ui/lists/monfileview.h"

namespace {

const CListKind& TextLogList()
{
    using F = ELogField;
    static const CListKind kind{
        false,
        {
            {1, "Description", false, "Description", F::DisplayName},
            {2, "Enabled", false, "Enabled", F::Enabled},
            {4, "Last Scanned", false, "Last scan", F::LastScanned},
            {8, "Next Scan", false, "Next scan", F::NextScan},
            {16, "Last Changed", false, "Last change", F::LastChanged},
            {32, "Bytes", true, "Bytes", F::Bytes},
            {64, "Full Path", false, "Full path", F::FullPath},
            {128, "Interval", true, "Interval", F::Interval},
            {256, "Date Format", true, "Date Format", F::DateFormat},
            {512, "Template", true, "Template", F::Template},
            {1024, "Impersonate", false, "Impersonated", F::Impersonate},
            {2048, "Username", false, "Username", F::Username},
            {4096, "Status", false, "Status", F::Status},
        },
        {ID_LOG_CONFIGURE, ID_LOG_DELETE, ID_LOG_ENABLE, 0, ID_LOG_EDITOR, ID_LOG_CLEAR,
         ID_LOG_MARK, ID_LOG_FAST_MARK, 0, ID_EDIT_COPY, ID_EDIT_PASTE, 0, ID_LOG_EXPLORER,
         ID_LOG_COMMAND_BOX, 0},
        &CMonFileView::Columns(),
    };
    return kind;
}

} // namespace

CMonFileView::CMonFileView(IMainFrame& frame, QWidget* parent)
    : CLogListView(frame, TextLogList(), parent)
{
}

CColumnLayout& CMonFileView::Columns()
{
    static CColumnLayout layout({"FileNumColumns", "FileColFlags", "FileColWidths"});
    return layout;
}
