#pragma once
// The event log tool: qvevent [--network DIR] COMMAND [options], with the
// commands report, read, info, clear, backup, logs, computers, add-log and
// add-source. Run by main() and by tests in-process.
//
// Output goes to `out`, messages to `err`. Exit status 0 on success, 1 when
// the operation failed, 2 for bad input (bad arguments, a computer or log that
// does not exist), in which case exactly one line went to `err` and nothing
// was changed. --network sets the process's network root.
#include <ostream>
#include <string>
#include <vector>

int RunQvEvent(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
