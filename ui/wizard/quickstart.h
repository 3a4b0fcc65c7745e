#pragma once
// The Quick Start wizard: six modal steps that choose a log to watch and add
// it, give it one watch group with one search key and a task, and start
// scanning. Its sample choice monitors the sample log "qvsample.log" with a
// group "Memory Errors" whose task shows a message, so that the first scan
// reports the sample's "Memory Error".
//
// Every change goes through the frame's document (its operations set the
// modified flag and send the update hints); the log, key and task dialogs
// are the document's own (IDocumentUi, ITaskUi). Scanning of other logs
// waits while the wizard runs (a scan pause).
//
// Threads: user interface thread only.
#include "platform/base/win32types.h"

class IMainFrame;

// bFirstStart preselects the sample; otherwise the first choice is.
void RunQuickStart(IMainFrame& frame, BOOL bFirstStart);
