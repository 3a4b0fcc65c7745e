#pragma once
// The command identifiers of the main menu, the tool bar, the tray menu and
// the views' context menus, with their Windows numbers, so that every part of
// the desktop program names a command the same way.
#include "platform/base/win32types.h"

// File, Edit, Help and the program (the framework's own numbers).
constexpr UINT ID_FILE_NEW = 57600;
constexpr UINT ID_FILE_OPEN = 57601;
constexpr UINT ID_FILE_SAVE = 57603;
constexpr UINT ID_FILE_SAVE_AS = 57604;
constexpr UINT ID_FILE_MRU_FILE1 = 57616; // to ID_FILE_MRU_FILE1 + 3
constexpr UINT ID_EDIT_COPY = 57634;
constexpr UINT ID_EDIT_PASTE = 57637;
constexpr UINT ID_APP_ABOUT = 57664;
constexpr UINT ID_APP_EXIT = 57665;
constexpr UINT ID_HELP_FINDER = 57667;
constexpr UINT ID_HELP_USING = 57668;
constexpr UINT ID_VIEW_TOOLBAR = 59392;
constexpr UINT ID_VIEW_STATUS_BAR = 59393;

// Window and tray.
constexpr UINT ID_TRAY_SHOW = 111;
constexpr UINT ID_HIDE_WINDOW = 112;

// Views.
constexpr UINT ID_VIEW_REFRESH = 119;
constexpr UINT ID_VIEW_FIND = 120;
constexpr UINT ID_LOG_RENAME = 124;
constexpr UINT ID_VIEW_SYSTEM_LOG = 32785;
constexpr UINT ID_VIEW_TEXT_AUDIT = 32842;
constexpr UINT ID_VIEW_NT_AUDIT = 32843;
constexpr UINT ID_VIEW_TEXT_SUMMARY = 32840;
constexpr UINT ID_VIEW_EVENT_SUMMARY = 32841;
constexpr UINT ID_VIEW_DETAIL = 32838;
constexpr UINT ID_EVENT_VIEWER = 32819;
constexpr UINT ID_VIEW_FIND_NEXT = 32862;
constexpr UINT ID_VIEW_FIND_PREV = 32863;
// The event viewer's order.
constexpr UINT ID_EVENT_NEWEST_FIRST = 32860;
constexpr UINT ID_EVENT_OLDEST_FIRST = 32861;

// Logs.
constexpr UINT ID_LOG_NEW_TEXT = 32771;
constexpr UINT ID_LOG_NEW_EVENT = 32808;
constexpr UINT ID_LOG_NEW_JOURNAL = 32809;
constexpr UINT ID_LOG_DELETE = 32777;
constexpr UINT ID_LOG_ENABLE = 32778;
constexpr UINT ID_LOG_CONFIGURE = 32788;
constexpr UINT ID_LOG_CLEAR = 32790;
constexpr UINT ID_LOG_EDITOR = 32791;
constexpr UINT ID_LOG_MARK = 32803;
constexpr UINT ID_LOG_FAST_MARK = 32804;
constexpr UINT ID_TEST_TASK = 32814;
constexpr UINT ID_TEST_KEYS = 33120; // the key tester on a log or a watch group
constexpr UINT ID_LOG_EXPLORER = 32844;
constexpr UINT ID_LOG_COMMAND_BOX = 32845;
constexpr UINT ID_QUICK_START = 32829;
constexpr UINT ID_RUN_SCRIPT = 32854;

// Scanning and settings.
constexpr UINT ID_SCAN_TOGGLE = 32780;
constexpr UINT ID_SETTINGS = 32782;
constexpr UINT ID_SCAN_START = 32824;
constexpr UINT ID_SCAN_STOP = 32825;
