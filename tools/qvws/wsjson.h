#pragma once
// The workspace as JSON: every monitored log with its watch groups, search
// keys and task, field by field, for keeping workspaces in version control
// and building them from scripts.
//
//   { "logs": [ LOG, ... ] }
//   LOG    text:  kind "text", enabled, interval, lastScanned, lastChanged,
//                 impersonate, user, passwordScrambled, domain, description,
//                 directory, fileName, position, lastSize, formattedName,
//                 template, groups
//          event: kind "event", computer, log, lastRecord, enabled, interval,
//                 lastScanned, lastChanged, impersonate, user,
//                 passwordScrambled, domain, groups
//          evtx:  kind "evtx", path, lastRecord (64-bit), then as journal
//          journal: kind "journal", directory, matches [...], cursor,
//                 readExisting, enabled, interval, lastScanned, lastChanged,
//                 impersonate, user, passwordScrambled, domain, groups
//   GROUP  description, minInterval, minIntervalMinutes, [digest, digestRuns,
//          digestMinutes, [digestState { periodStart, runs, held, firstHeld,
//          lastHeld, variables }]] (only for a group with a digest, its state
//          only while a period runs), keys, task
//   KEY    text:  kind "text", mode (only|and|or|andNot), caseSensitive,
//                 key1, key2
//          event: kind "event", then each field that is set, of source,
//                 user, computer, category, eventId, type:
//                 { "op": OP, "values": [...] }, and text:
//                 { "op": "contains", "value": "..." }
//   TASK   description, variables { NAME: VALUE }, actions
//   ACTION { kind "message", text } | { kind "writefile", path, text } |
//          { kind "run", command, directory, wait, timeout } |
//          { kind "email", server, starttls (required|optional|never), user,
//            SECRET, from, to [...], subject, body, timeout, verifyTls, caFile } |
//          { kind "webhook", url, method (POST|PUT), format
//            (json|slack|teams|custom), body, headers [...], user, SECRET,
//            timeout, verifyTls, caFile } |
//          { kind "syslog", host, port, protocol (udp|tcp), facility (kern ...
//            local7), severity (auto|emerg ... debug), message, maxLength,
//            timeout } |
//          { kind "notification", summary, body }
//   SECRET passwordScrambled (the secret kept in the workspace, written like
//          a logon password), passwordFile or passwordEnv; reading also
//          takes a clear "password"; at most one of them.
//
// Operators: equal, notEqual and atLeast, atMost take one value; between,
// notBetween two (low, high); oneOf, notOneOf a list. Source, user,
// computer and type take equal, notEqual, oneOf, notOneOf; category and
// eventId all eight; text only contains. Times are seconds since 1970,
// numbers 32-bit (signed or unsigned as the field is), flags true/false.
// Passwords are written as passwordScrambled, the hexadecimal bytes of the
// scrambled form that the workspace file holds; reading takes that or a
// clear "password". Task variables are the constants kept in the task's
// record; the names a trigger fills are refused.
//
// Writing puts every member in the order above, so that a dump is the same
// text whenever the workspace is the same. Reading accepts members in any
// order; a missing member keeps the value of a newly constructed object
// ("kind" and a field's "op" are required), an unknown member is an error.
// So reading a dump and dumping again gives the same text, and storing what
// was read gives the same workspace bytes.
//
// The JSON form holds what the program's own editing can make. A file made
// otherwise may hold a key or action that it cannot express (an operator a
// field does not take, a value count that does not fit its operator, an
// unknown text key mode, a task text holding a NUL byte); writing then fails
// with the path of the part. A flag stored as a value other than 0 and 1 is
// written as true.
//
// Functions of plain values; any thread, as long as nothing else changes
// the workspace meanwhile.
#include <memory>
#include <string>
#include <string_view>

#include "tools/qvws/json.h"

class CMonManager;

// The workspace's JSON text. Throws CJsonError (without a place) naming the
// path of a part that the JSON form cannot hold, such as
// "logs[0].groups[1].keys[0].source: ...".
std::string WorkspaceToJson(const CMonManager& manager);

// A new manager holding the logs the JSON text describes. Throws CJsonError
// with the line and column and the path of the fault, such as
// "12:9: logs[0].groups[1].keys[0]: unknown member 'foo'".
std::unique_ptr<CMonManager> WorkspaceFromJson(std::string_view text);
