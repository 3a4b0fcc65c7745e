#pragma once
// Workspace scripts (".qvs"): line commands that edit the open workspace in
// bulk, so that one prepared workspace can be rolled out to many computers.
//
//   ; comment                                  (blank lines are ignored too)
//   RENAMESERVER old,new                       event logs of computer old move to new
//   COPYSERVER old,new                         ... are duplicated for computer new
//   DELETESERVER name                          ... are deleted
//   SETTASKCONSTANT log,group,variable,value   the variable is set on the task of
//                                              every group "group" of every log
//                                              whose display name is "log"
//
// A keyword is recognised by the line's first characters, without regard to
// letter case and without a separator after it; names are compared without
// regard to letter case. Every line is written to the system log; the first
// bad line is reported with its number and ends the script (the lines before
// it have taken effect). A constant set by SETTASKCONSTANT is kept in the
// task's record, so a save keeps it. Running a script does not touch the
// document's modified flag; CQuorvilDoc::RunScript also updates the views.
//
// Threads: user interface thread. The scan thread may keep running; each
// log is changed only after a scan of it that is running has ended.
#include <string>

#include "core/monmanager.h"

// FALSE only when the script file cannot be read; TRUE also after a script
// error. With pError, what went wrong goes there in one line ("the script
// FILE has an error at line N: 'LINE'", saying after line 1 that the lines
// before it were applied, or that it cannot be read); it is left empty after
// a script without errors.
BOOL RunScript(CMonManager& manager, const std::string& path, std::string* pError = nullptr);
