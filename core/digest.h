#pragma once
// The digest of a watch group: its task runs for the first N triggers of a
// period of T minutes (the period starts with the first of them); later
// triggers of the period are held back and counted, keeping the last one's
// variables. When the period has ended (seen at the next trigger, or by the
// scan thread between logs), a period that held some back runs the task once
// more, with "%DIGEST_COUNT%" (the number held back), "%DIGEST_FIRST_TIME%"
// and "%DIGEST_LAST_TIME%" (their times, as "%EVENT_TIME%" shows times) and
// the last held trigger's variables. Ordinary runs of a digest group see
// "%DIGEST_COUNT%" 0 and empty times.
//
// Times come from the model's clock. The state belongs to the workspace (the
// group's record keeps it), so a period goes on across Stop and Start and a
// restart of the program.
//
// Threads: the scan thread admits and flushes; the user interface thread
// copies and stores. Every operation takes the digest's own lock.
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "archive/archive.h"

inline constexpr char VAR_DIGEST_COUNT[] = "%DIGEST_COUNT%";
inline constexpr char VAR_DIGEST_FIRST_TIME[] = "%DIGEST_FIRST_TIME%";
inline constexpr char VAR_DIGEST_LAST_TIME[] = "%DIGEST_LAST_TIME%";

class CDigestState {
public:
    CDigestState() = default;
    CDigestState(const CDigestState& other);
    CDigestState& operator=(const CDigestState& other);

    // A trigger at now (seconds since 1970) with the trigger's variables:
    // true when the task runs, false when the trigger is held back. A period
    // that has ended must have been flushed first (TakeSummary).
    bool Admit(std::int64_t now, int nRuns, int nMinutes,
               const std::map<std::string, std::string>& triggerVariables);
    // When the period has ended at now: ends it, and returns the variables of
    // the summary run when triggers were held back.
    std::optional<std::map<std::string, std::string>> TakeSummary(std::int64_t now, int nMinutes);
    // The variables of an ordinary run.
    static std::map<std::string, std::string> OrdinaryRunVariables();

    // The state as the group's record keeps it: period start, runs, held
    // count, first and last held time (32-bit each), count N and N pairs of
    // strings name, value.
    void Serialize(CArchive& ar);
    // No period running.
    bool IsIdle() const;

    // The state field by field (the workspace's JSON form).
    struct CData {
        std::int64_t nPeriodStart = 0;
        int nRuns = 0;
        int nHeld = 0;
        std::int64_t nFirstHeld = 0;
        std::int64_t nLastHeld = 0;
        std::map<std::string, std::string> mapHeld;
    };
    CData GetData() const;
    void SetData(const CData& data);

private:
    mutable std::mutex m_mutex;
    std::int64_t m_nPeriodStart = 0; // 0: no period
    int m_nRuns = 0;
    int m_nHeld = 0;
    std::int64_t m_nFirstHeld = 0;
    std::int64_t m_nLastHeld = 0;
    std::map<std::string, std::string> m_mapHeld;
};
