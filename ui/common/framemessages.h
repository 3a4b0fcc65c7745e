#pragma once
// The main frame's own messages (the scan thread's WM_SCAN_STATE,
// WM_SCAN_PROGRESS and WM_AUTOSAVE are in core/monmanager.h,
// WM_SHOW_TEXT_LOGS_AGAIN in workspace/quorvildoc.h). Views send them to the
// frame through IMainFrame::SendFrameMessage.
#include "platform/base/msgqueue.h"

constexpr UINT WM_SHOW_TEXT_LOGS = WM_USER + 1;
constexpr UINT WM_SHOW_TEXT_VIEWER = WM_USER + 2; // lParam: item identifier
constexpr UINT WM_SHOW_EVENT_LOGS = WM_USER + 3;
constexpr UINT WM_SHOW_EVENT_VIEWER = WM_USER + 4; // lParam: item identifier
constexpr UINT WM_TRAY_NOTIFY = WM_USER + 5;
constexpr UINT WM_ACTIVATE_TREE = WM_USER + 13;
