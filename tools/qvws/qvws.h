#pragma once
// The workspace tool:
//
//   qvws dump FILE         the workspace FILE as JSON on standard output
//   qvws load JSON FILE    builds the workspace described by JSON (a file,
//                          or - for standard input) and writes it to FILE
//   qvws check FILE        "OK" with the counts of logs, watch groups and
//                          keys, or where FILE is damaged
//   qvws test FILE LINES [--log N | --group NAME] [--json]
//                          the key tester (tasks/keytester.h) on each line of
//                          LINES: matching keys, captures, rules, tasks and
//                          their expanded actions; totals at the end
//
// The JSON form is tools/qvws/wsjson.h. A workspace file must hold exactly
// one manager record and nothing after it.
//
// Output goes to `out`, messages to `err`. Exit status 0 on success, 1 when
// the workspace file could not be written, 2 for bad input (bad arguments,
// an unreadable or damaged file, bad JSON): then exactly one line went to
// `err` and no file was changed. FILE is replaced atomically. Run by main()
// and by tests in-process; one call at a time.
#include <istream>
#include <ostream>
#include <string>
#include <vector>

int RunQvWs(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
            std::ostream& err);
