#pragma once
// The values of a loaded workspace that no version of the program writes:
// an interval below one second, a flag other than 0 or 1, a text key's
// mode or an event key's operator that does not exist, a text log's
// position beyond the size it last saw. The format has no checksum, so
// these are the marks a damaged file leaves. They load as stored; the
// program writes one system log line for each and `qvws check` lists them.
#include <string>
#include <vector>

class CMonManager;

struct CStoredValueProblem {
    std::string strWhere; // log "System", watch group "Disk", key 2
    std::string strField; // "interval"
    std::string strText;  // "0, where 1 or more is written"
};

std::vector<CStoredValueProblem> FindStoredValueProblems(const CMonManager& manager);

// One line: "log "System": interval is 0, where 1 or more is written".
std::string DescribeStoredValueProblem(const CStoredValueProblem& problem);

// How to go back: "if the file was damaged, restore W.bak, the copy made
// before the last save, or ..." for the workspace at path.
std::string StoredValueAdvice(const std::string& path);
