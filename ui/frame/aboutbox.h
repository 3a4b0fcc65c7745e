#pragma once
// The about box: product, version and build, the free disk space of the
// drive that holds the program, and the credits.
//
// Threads: user interface thread only.
class QWidget;

void ShowAboutBox(QWidget* parent);
