#pragma once
// The texts of the workspace document's string resources, by their
// resource numbers; the views and dialogs that show the same texts use
// these too.

// 128: the document type, "\n"-separated (CQuorvilDoc::GetDocString).
constexpr const char* IDS_QUORVIL_DOC_TYPE =
    "Quorvil\n\nQuorv\nQuorvil Workspace (*.qvw)\n.qvw\nQuorvil.Document\nQuorv Document";
// 130
constexpr const char* IDS_FILE_NOT_READABLE =
    "The file you selected either doesn't exist, or you don't have read access to it.\n"
    "Do you want to save your choice anyway?";
// 133
constexpr const char* IDS_ALREADY_MONITORING = "You are already monitoring this log. Are you sure "
                                               "you want to add another monitoring instance?";
// 141
constexpr const char* IDS_NOT_WINNT =
    "This is not a Windows NT system, and does not support event log functions.";
// 155
constexpr const char* IDS_CONFIRM_DELETE = "Are you sure you want to delete this item?";
// 158
constexpr const char* IDS_NO_LOGS_SELECTED = "No log(s) were selected.";
