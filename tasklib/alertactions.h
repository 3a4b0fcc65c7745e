#pragma once
// The actions that tell someone: an e-mail, a web hook, a desktop
// notification and a message to a syslog collector. The network actions
// build their message when the task runs (so its date is the match's) and
// hand it to the delivery queue (delivery.h); Run returns at once, true when
// the message was queued. A delivery that fails for good is logged with the
// server's reply.
//
// What names a destination (server, URL, addresses, host, header values)
// takes the task's constants only: the text of a watched log never chooses
// where a message goes or what a header says. Log text reaches message texts
// only, escaped for each target: JSON strings, RFC 2047 encoded subjects (no
// line break can start a header), quoted-printable bodies, RFC 5424
// structured data, and a bounded syslog message length.
//
// Records (numbers 32-bit; each after the CBaseAction reference and record,
// then its own version 1; a secret is a CSecret record, secret.h):
//   CSendMail            string server, starttls (0 required, 1 optional,
//                        2 never), string user, secret, string from, count N
//                        and N strings to, string subject, string body,
//                        timeout seconds, BOOL verify TLS, string CA file
//   CWebHook             string url, string method, string format, string
//                        body, count N and N strings "Name: value", string
//                        user, secret, timeout seconds, BOOL verify TLS,
//                        string CA file
//   CSyslogForward       string host, port, string protocol ("udp", "tcp"),
//                        facility 0-23, severity (-1 from the event type, or
//                        0-7), string message, maximum length, timeout
//                        seconds
//   CDesktopNotification string summary, string body
#include <cstdint>
#include <string>
#include <vector>

#include "tasklib/actions.h"
#include "tasklib/secret.h"

class CSendMail final : public CBaseAction {
    DECLARE_SERIAL(CSendMail)
public:
    enum StartTls : DWORD { TlsRequired = 0, TlsOptional = 1, TlsNever = 2 };

    CSendMail() = default;
    std::unique_ptr<CBaseAction> Clone() const override;
    std::string GetDescription() const override;
    bool Run(const CTaskVariables& variables, const std::string& strTask) const override;
    void Serialize(CArchive& ar) override;

    // The message as it is sent (headers, blank line, body), for the time
    // given in seconds since 1970; strMessageId without its angle brackets.
    std::string BuildMessage(const CTaskVariables& variables, std::int64_t nTime,
                             const std::string& strMessageId) const;

    std::string m_strServer = "smtp://localhost:25";
    StartTls m_nStartTls = TlsRequired;
    std::string m_strUser;
    CSecret m_password;
    std::string m_strFrom;
    std::vector<std::string> m_arrTo;
    std::string m_strSubject = "Quorvil: %EVENT_SHORTNAME%";
    std::string m_strBody = "%EVENT_TIME%  %EVENT_LONGNAME%\n%EVENT_TEXT%";
    DWORD m_dwTimeout = 30;
    BOOL m_bVerifyTls = TRUE;
    std::string m_strCaFile;
};

class CWebHook final : public CBaseAction {
    DECLARE_SERIAL(CWebHook)
public:
    CWebHook() = default;
    std::unique_ptr<CBaseAction> Clone() const override;
    std::string GetDescription() const override;
    bool Run(const CTaskVariables& variables, const std::string& strTask) const override;
    void Serialize(CArchive& ar) override;

    // The request body and its content type for the format.
    std::string BuildBody(const CTaskVariables& variables, const std::string& strTask,
                          std::string& strContentType) const;

    std::string m_strUrl;
    std::string m_strMethod = "POST";      // POST or PUT
    std::string m_strFormat = "json";      // json, slack, teams or custom
    std::string m_strBody;                 // the template of custom, the text of slack and teams
    std::vector<std::string> m_arrHeaders; // "Name: value"; "%PASSWORD%" is the secret
    std::string m_strUser;
    CSecret m_password;
    DWORD m_dwTimeout = 10;
    BOOL m_bVerifyTls = TRUE;
    std::string m_strCaFile;
};

class CSyslogForward final : public CBaseAction {
    DECLARE_SERIAL(CSyslogForward)
public:
    CSyslogForward() = default;
    std::unique_ptr<CBaseAction> Clone() const override;
    std::string GetDescription() const override;
    bool Run(const CTaskVariables& variables, const std::string& strTask) const override;
    void Serialize(CArchive& ar) override;

    // The RFC 5424 message (without framing) for the time given.
    std::string BuildMessage(const CTaskVariables& variables, const std::string& strTask,
                             std::int64_t nTime) const;

    std::string m_strHost = "localhost";
    DWORD m_dwPort = 514;
    std::string m_strProtocol = "udp";
    DWORD m_dwFacility = 16; // local0
    LONG m_nSeverity = -1;   // from the event type
    std::string m_strMessage = "%EVENT_TEXT%";
    DWORD m_dwMaxLength = 2048;
    DWORD m_dwTimeout = 10;
};

class CDesktopNotification final : public CBaseAction {
    DECLARE_SERIAL(CDesktopNotification)
public:
    CDesktopNotification() = default;
    std::unique_ptr<CBaseAction> Clone() const override;
    std::string GetDescription() const override;
    bool Run(const CTaskVariables& variables, const std::string& strTask) const override;
    void Serialize(CArchive& ar) override;

    std::string m_strSummary = "%EVENT_SHORTNAME%";
    std::string m_strBody = "%EVENT_TEXT%";
};

// Syslog names: facility 0-23 ("kern" ... "local7"), severity 0-7 ("emerg"
// ... "debug"); -1 for an unknown name.
int SyslogFacilityFromName(const std::string& name);
const char* SyslogFacilityName(DWORD facility);
int SyslogSeverityFromName(const std::string& name);
const char* SyslogSeverityName(DWORD severity);
// The severity of an "%EVENT_TYPE%" value: Error 3, Warning 4, Information
// 6, Audit Success 5, Audit Failure 4, anything else (text logs) 5.
int SyslogSeverityOfEventType(const std::string& type);
// The desktop urgency of an "%EVENT_TYPE%" value: 0 low, 1 normal, 2 critical.
int UrgencyOfEventType(const std::string& type);
