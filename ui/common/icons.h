#pragma once
// The program's own artwork: the images of the tree and the lists by the
// image index that the model hands out (CMonitoredObject::GetImageIndex and
// the tree's fixed nodes), the three scan-state icons of the tool bar and the
// tray, a few tool bar pictures, and the twelve frames of the status bar's
// scan animation.
//
// Image indexes: 0 text log scanned, 1 text-log root, 2 event-log root,
// 3 system log file, 4 text log disabled, 5 text log not checked or in
// error, 6 event log not checked or in error, 7 event log disabled, 8 search
// key, 9 watch group, 10 task, 14 event log scanned.
//
// Threads: user interface thread only (QIcon and QPixmap).
#include <QIcon>
#include <QPixmap>

constexpr int IMAGE_TEXT_LOG = 0;
constexpr int IMAGE_TEXT_ROOT = 1;
constexpr int IMAGE_EVENT_ROOT = 2;
constexpr int IMAGE_SYSTEM_LOG = 3;
constexpr int IMAGE_TEXT_LOG_DISABLED = 4;
constexpr int IMAGE_TEXT_LOG_UNCHECKED = 5;
constexpr int IMAGE_EVENT_LOG_UNCHECKED = 6;
constexpr int IMAGE_EVENT_LOG_DISABLED = 7;
constexpr int IMAGE_KEY = 8;
constexpr int IMAGE_WATCH_GROUP = 9;
constexpr int IMAGE_TASK = 10;
constexpr int IMAGE_EVENT_LOG = 14;

// The image of an index above; a null icon for any other index.
QIcon GetImageIcon(int nImage);

enum class ScanIcon { Stopped, Running, Busy };
QIcon GetScanIcon(ScanIcon icon);

// Tool bar pictures: Copy, Paste and Find are the desktop theme's when it
// has them; the item commands of the dialogs' command bars (Add, Edit,
// Delete, Duplicate) and Browse are always the program's own.
enum class ToolIcon { Copy, Paste, Find, Add, Edit, Delete, Duplicate, Browse };
QIcon GetToolIcon(ToolIcon icon);

// The event list's picture of an event type: error and audit failure look
// different (a red circle, a padlock with a red cross).
enum class EventIcon { Error, Warning, Information, AuditSuccess, AuditFailure };
QIcon GetEventIcon(EventIcon icon);

// One frame (0 to SCAN_ANIMATION_FRAMES - 1) of the scan animation, a square
// of the given side in pixels: a ring of twelve dots whose bright dot moves
// one step per frame.
constexpr int SCAN_ANIMATION_FRAMES = 12;
QPixmap GetScanAnimationFrame(int nFrame, int nSize);
