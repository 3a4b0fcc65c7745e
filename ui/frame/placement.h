#pragma once
// The main window's placement under Settings/WindowPos (as a window
// placement record) and the tool bars' state under Settings/Toolbars.
//
// Threads: user interface thread only.
class QMainWindow;

// The stored normal position and size, and maximised; nothing without a
// stored placement.
void RestoreWindowPlacement(QMainWindow& window);
void SaveWindowPlacement(const QMainWindow& window);
// An unreadable state is ignored.
void RestoreBarState(QMainWindow& window);
void SaveBarState(const QMainWindow& window);
