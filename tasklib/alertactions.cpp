#include "tasklib/alertactions.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <random>

#include <curl/curl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/base/clock.h"
#include "tasklib/delivery.h"
#include "tasklib/recordversion.h"
#include "tasklib/tasklog.h"
#include "tasklib/taskui.h"
#include "tasklib/textcodec.h"

namespace {

std::string Quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

std::string Joined(const std::vector<std::string>& strings, const char* separator)
{
    std::string out;
    for (const std::string& s : strings)
        out += (out.empty() ? "" : separator) + s;
    return out;
}

// The variables with every value passed through fn, for texts whose values
// need escaping for their target.
template <typename Fn> CTaskVariables MapValues(const CTaskVariables& variables, Fn fn)
{
    CTaskVariables out;
    for (const auto& [name, value] : variables.GetAll())
        out.Set(name, fn(value));
    return out;
}

std::string LocalHostName()
{
    char buf[256] = {};
    if (::gethostname(buf, sizeof buf - 1) != 0 || buf[0] == '\0')
        return "localhost";
    return buf;
}

// --- libcurl ---

void InitCurl()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct CCurlRequest {
    std::string strUrl;
    long nTimeoutMs = 10'000;
    bool bVerifyTls = true;
    std::string strCaFile;
    std::string strUser;
    std::string strPassword;
};

int AbortCheck(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return IsDeliveryAborted() ? 1 : 0;
}

size_t KeepReply(char* data, size_t size, size_t count, void* user)
{
    auto* reply = static_cast<std::string*>(user);
    const size_t n = size * count;
    if (reply->size() < 512)
        reply->append(data, std::min<size_t>(n, 512 - reply->size()));
    return n;
}

struct CUpload {
    std::string_view data;
    std::size_t pos = 0;
};

size_t ReadUpload(char* buffer, size_t size, size_t count, void* user)
{
    auto* upload = static_cast<CUpload*>(user);
    const size_t n = std::min(size * count, upload->data.size() - upload->pos);
    std::memcpy(buffer, upload->data.data() + upload->pos, n);
    upload->pos += n;
    return n;
}

void SetCommonOptions(CURL* curl, const CCurlRequest& request, char* errorBuffer)
{
    curl_easy_setopt(curl, CURLOPT_URL, request.strUrl.c_str());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, request.nTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, std::min(request.nTimeoutMs, 10'000L));
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &AbortCheck);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, request.bVerifyTls ? 1L : 0L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, request.bVerifyTls ? 2L : 0L);
    if (!request.strCaFile.empty())
        curl_easy_setopt(curl, CURLOPT_CAINFO, request.strCaFile.c_str());
    if (!request.strUser.empty()) {
        curl_easy_setopt(curl, CURLOPT_USERNAME, request.strUser.c_str());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, request.strPassword.c_str());
    }
}

// A curl failure as a result: what failed and whether it may pass.
CAttemptResult CurlFailure(CURLcode code, const char* errorBuffer, long nReply)
{
    CAttemptResult result;
    result.strReason = errorBuffer[0] ? errorBuffer : curl_easy_strerror(code);
    if (nReply != 0)
        result.strReason += " (server reply " + std::to_string(nReply) + ")";
    // An SMTP server's 5xx reply is final, whatever the transfer made of it.
    if (nReply >= 500 && nReply < 600)
        return result;
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
        result.bRetry = true;
        break;
    case CURLE_ABORTED_BY_CALLBACK:
        result.strReason = "the program is ending";
        break;
    default:
        // SMTP: a 4xx reply passes, a 5xx one does not.
        result.bRetry = nReply >= 400 && nReply < 500;
    }
    return result;
}

// --- e-mail ---

// The address inside "Name <a@b>", or the text itself; empty when it is not
// an address.
std::string MailboxAddress(const std::string& address)
{
    std::string strAddress = address;
    const auto open = address.rfind('<');
    if (open != std::string::npos) {
        const auto close = address.find('>', open);
        if (close == std::string::npos)
            return {};
        strAddress = address.substr(open + 1, close - open - 1);
    }
    if (strAddress.empty() || strAddress.find('@') == std::string::npos)
        return {};
    for (char ch : strAddress) {
        const auto c = static_cast<unsigned char>(ch);
        if (c <= 0x20 || c == 0x7F || ch == '<' || ch == '>' || ch == ',')
            return {};
    }
    return strAddress;
}

std::string NewMessageId(const std::string& from, std::int64_t nTime)
{
    static std::atomic<unsigned> counter{0};
    static std::mt19937_64 rng{std::random_device{}()};
    static std::mutex rngMutex;
    unsigned long long random = 0;
    {
        std::lock_guard lock(rngMutex);
        random = rng();
    }
    const std::string strAddress = MailboxAddress(from);
    const auto at = strAddress.find('@');
    const std::string domain =
        at == std::string::npos ? "quorvil.invalid" : strAddress.substr(at + 1);
    char buf[96];
    std::snprintf(buf, sizeof buf, "%lld.%u.%d.%llx", static_cast<long long>(nTime),
                  counter.fetch_add(1), static_cast<int>(::getpid()), random);
    return std::string(buf) + ".quorvil@" + domain;
}

CAttemptResult SendMail(const CCurlRequest& request, CSendMail::StartTls startTls,
                        const std::string& from, const std::vector<std::string>& to,
                        const std::string& message)
{
    InitCurl();
    CURL* curl = curl_easy_init();
    if (!curl)
        return CAttemptResult{false, true, "libcurl could not start"};
    char errorBuffer[CURL_ERROR_SIZE] = {};
    SetCommonOptions(curl, request, errorBuffer);
    curl_easy_setopt(curl, CURLOPT_USE_SSL,
                     startTls == CSendMail::TlsRequired   ? static_cast<long>(CURLUSESSL_ALL)
                     : startTls == CSendMail::TlsOptional ? static_cast<long>(CURLUSESSL_TRY)
                                                          : static_cast<long>(CURLUSESSL_NONE));
    const std::string mailFrom = "<" + from + ">";
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, mailFrom.c_str());
    curl_slist* recipients = nullptr;
    for (const std::string& address : to)
        recipients = curl_slist_append(recipients, ("<" + address + ">").c_str());
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, recipients);
    CUpload upload{message};
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, &ReadUpload);
    curl_easy_setopt(curl, CURLOPT_READDATA, &upload);
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    const CURLcode code = curl_easy_perform(curl);
    long nReply = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &nReply);
    curl_slist_free_all(recipients);
    curl_easy_cleanup(curl);
    if (code == CURLE_OK)
        return CAttemptResult{true, false, {}};
    return CurlFailure(code, errorBuffer, nReply);
}

// --- web hook ---

CAttemptResult SendHttp(const CCurlRequest& request, const std::string& method,
                        const std::vector<std::string>& headers, const std::string& body)
{
    InitCurl();
    CURL* curl = curl_easy_init();
    if (!curl)
        return CAttemptResult{false, true, "libcurl could not start"};
    char errorBuffer[CURL_ERROR_SIZE] = {};
    SetCommonOptions(curl, request, errorBuffer);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, method.c_str());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_slist* list = nullptr;
    for (const std::string& header : headers)
        list = curl_slist_append(list, header.c_str());
    list = curl_slist_append(list, "Expect:");
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, list);
    std::string reply;
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &KeepReply);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply);
    const CURLcode code = curl_easy_perform(curl);
    long nStatus = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &nStatus);
    curl_slist_free_all(list);
    curl_easy_cleanup(curl);
    if (code != CURLE_OK) {
        CAttemptResult result = CurlFailure(code, errorBuffer, 0);
        if (code == CURLE_SSL_CONNECT_ERROR)
            result.bRetry = true;
        return result;
    }
    if (nStatus >= 200 && nStatus < 300)
        return CAttemptResult{true, false, {}};
    CAttemptResult result;
    result.bRetry = nStatus >= 500 || nStatus == 408 || nStatus == 429;
    result.strReason = "HTTP status " + std::to_string(nStatus);
    if (!reply.empty())
        result.strReason += ": " + HeaderSafe(reply);
    return result;
}

// --- syslog ---

// Sends all bytes on a connected socket within the deadline; "" or the reason.
std::string SendAll(int fd, std::string_view data, std::chrono::steady_clock::time_point deadline,
                    bool bDatagram)
{
    std::size_t pos = 0;
    while (pos < data.size()) {
        if (IsDeliveryAborted())
            return "the program is ending";
        if (std::chrono::steady_clock::now() >= deadline)
            return "timed out";
        pollfd pfd{fd, POLLOUT, 0};
        if (::poll(&pfd, 1, 100) <= 0)
            continue;
        const ssize_t n = ::send(fd, data.data() + pos, data.size() - pos, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return std::strerror(errno);
        }
        if (bDatagram)
            return {};
        pos += static_cast<std::size_t>(n);
    }
    return {};
}

CAttemptResult SendSyslog(const std::string& host, DWORD port, bool bTcp, DWORD dwTimeout,
                          const std::string& message)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(dwTimeout);
    addrinfo hints{};
    hints.ai_socktype = bTcp ? SOCK_STREAM : SOCK_DGRAM;
    addrinfo* list = nullptr;
    const std::string service = std::to_string(port);
    if (int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &list); rc != 0)
        return CAttemptResult{false, true,
                              std::string("cannot resolve the host: ") + gai_strerror(rc)};
    std::string reason = "no address";
    for (addrinfo* ai = list; ai; ai = ai->ai_next) {
        const int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                                ai->ai_protocol);
        if (fd < 0) {
            reason = std::strerror(errno);
            continue;
        }
        if (::connect(fd, ai->ai_addr, ai->ai_addrlen) != 0 && errno != EINPROGRESS) {
            reason = std::strerror(errno);
            ::close(fd);
            continue;
        }
        if (bTcp) {
            // Wait for the connection, a slice at a time so an exit is seen.
            bool bConnected = false;
            while (!IsDeliveryAborted() && std::chrono::steady_clock::now() < deadline) {
                pollfd pfd{fd, POLLOUT, 0};
                if (::poll(&pfd, 1, 100) > 0) {
                    int err = 0;
                    socklen_t len = sizeof err;
                    ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
                    if (err != 0)
                        reason = std::strerror(err);
                    bConnected = err == 0;
                    break;
                }
                reason = "timed out connecting";
            }
            if (!bConnected) {
                ::close(fd);
                continue;
            }
        }
        const std::string framed = bTcp ? std::to_string(message.size()) + " " + message : message;
        reason = SendAll(fd, framed, deadline, !bTcp);
        ::close(fd);
        if (reason.empty()) {
            ::freeaddrinfo(list);
            return CAttemptResult{true, false, {}};
        }
    }
    ::freeaddrinfo(list);
    return CAttemptResult{false, true, reason};
}

// An RFC 5424 PARAM-VALUE: UTF-8 with '"', '\' and ']' escaped, at most
// 256 bytes of the value.
std::string SdValue(const std::string& value)
{
    std::string utf8 = ToUtf8(value.substr(0, 256));
    if (!IsUtf8(utf8)) // a character cut at the end
        while (!utf8.empty() && !IsUtf8(utf8))
            utf8.pop_back();
    std::string out;
    for (char ch : utf8) {
        if (ch == '"' || ch == '\\' || ch == ']')
            out += '\\';
        out += ch;
    }
    return out;
}

// Cuts text to at most n bytes without splitting a UTF-8 character.
void CutUtf8(std::string& text, std::size_t n)
{
    if (text.size() <= n)
        return;
    std::size_t end = n;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    text.resize(end);
}

// A name for a description: host names and URLs without a user's password.
std::string WithoutCredentials(const std::string& url)
{
    const auto scheme = url.find("://");
    const auto at = url.find('@', scheme == std::string::npos ? 0 : scheme + 3);
    const auto slash = url.find('/', scheme == std::string::npos ? 0 : scheme + 3);
    if (scheme == std::string::npos || at == std::string::npos ||
        (slash != std::string::npos && at > slash))
        return url;
    return url.substr(0, scheme + 3) + url.substr(at + 1);
}

// Desktops show a few lines; a longer text is cut.
constexpr std::size_t NOTIFICATION_BODY_LIMIT = 2000;

const char* const FACILITIES[24] = {"kern",   "user",   "mail",   "daemon", "auth",     "syslog",
                                    "lpr",    "news",   "uucp",   "cron",   "authpriv", "ftp",
                                    "ntp",    "audit",  "alert",  "clock",  "local0",   "local1",
                                    "local2", "local3", "local4", "local5", "local6",   "local7"};
const char* const SEVERITIES[8] = {"emerg",   "alert",  "crit", "err",
                                   "warning", "notice", "info", "debug"};

// The position of the name in the table, or -1.
template <std::size_t N> int IndexOfName(const char* const (&names)[N], const std::string& name)
{
    for (std::size_t i = 0; i < N; ++i)
        if (name == names[i])
            return static_cast<int>(i);
    return -1;
}

// The name at the position, or "" outside the table.
template <std::size_t N> const char* NameAt(const char* const (&names)[N], DWORD index)
{
    return index < N ? names[index] : "";
}

} // namespace

int SyslogFacilityFromName(const std::string& name)
{
    return IndexOfName(FACILITIES, name);
}

const char* SyslogFacilityName(DWORD facility)
{
    return NameAt(FACILITIES, facility);
}

int SyslogSeverityFromName(const std::string& name)
{
    return IndexOfName(SEVERITIES, name);
}

const char* SyslogSeverityName(DWORD severity)
{
    return NameAt(SEVERITIES, severity);
}

int SyslogSeverityOfEventType(const std::string& type)
{
    if (type == "Error")
        return 3;
    if (type == "Warning" || type == "Audit Failure")
        return 4;
    if (type == "Information")
        return 6;
    return 5;
}

int UrgencyOfEventType(const std::string& type)
{
    if (type == "Error" || type == "Audit Failure")
        return 2;
    if (type == "Information" || type == "Audit Success")
        return 0;
    return 1;
}

// CSendMail

IMPLEMENT_SERIAL(CSendMail, CBaseAction, VERSIONABLE_SCHEMA | 1)

std::unique_ptr<CBaseAction> CSendMail::Clone() const
{
    return std::make_unique<CSendMail>(*this);
}

std::string CSendMail::GetDescription() const
{
    return "Send e-mail to " + Quoted(Joined(m_arrTo, ", "));
}

std::string CSendMail::BuildMessage(const CTaskVariables& variables, std::int64_t nTime,
                                    const std::string& strMessageId) const
{
    std::vector<std::string> to;
    for (const std::string& address : m_arrTo)
        to.push_back(HeaderSafe(variables.SubstituteConstants(address)));
    const std::string body = variables.Substitute(m_strBody);
    std::string message;
    message += "Date: " + FormatMailDate(nTime) + "\r\n";
    message += "From: " + HeaderSafe(variables.SubstituteConstants(m_strFrom)) + "\r\n";
    message += "To: " + Joined(to, ",\r\n ") + "\r\n";
    message += "Subject: " + EncodeHeaderText(variables.Substitute(m_strSubject), 9) + "\r\n";
    message += "Message-ID: <" + strMessageId + ">\r\n";
    message += "MIME-Version: 1.0\r\n";
    message += std::string("Content-Type: text/plain; charset=") +
               (IsUtf8(body) ? "UTF-8" : "ISO-8859-1") + "\r\n";
    message += "Content-Transfer-Encoding: quoted-printable\r\n";
    message += "\r\n";
    message += EncodeQuotedPrintable(body);
    return message;
}

bool CSendMail::Run(const CTaskVariables& variables, const std::string& strTask) const
{
    const std::string from = MailboxAddress(variables.SubstituteConstants(m_strFrom));
    std::vector<std::string> to;
    for (const std::string& address : m_arrTo) {
        std::string strAddress = MailboxAddress(variables.SubstituteConstants(address));
        if (strAddress.empty()) {
            TaskLog("E-mail in task " + Quoted(strTask) + ": " + Quoted(HeaderSafe(address)) +
                    " is not an address");
            return false;
        }
        to.push_back(strAddress);
    }
    const std::string label = "E-mail to " + Joined(to, ", ") + " in task " + Quoted(strTask);
    if (from.empty() || to.empty()) {
        TaskLog(label + ": " + (from.empty() ? "no sender address" : "no recipient"));
        return false;
    }
    CCurlRequest request;
    request.strUrl = variables.SubstituteConstants(m_strServer);
    request.nTimeoutMs = static_cast<long>(m_dwTimeout == 0 ? 30 : m_dwTimeout) * 1000;
    request.bVerifyTls = m_bVerifyTls != FALSE;
    request.strCaFile = m_strCaFile;
    request.strUser = m_strUser;
    if (!m_strUser.empty()) {
        std::string error;
        std::optional<std::string> password = m_password.Resolve(error);
        if (!password) {
            TaskLog(label + ": " + error);
            return false;
        }
        request.strPassword = *password;
    }
    const std::int64_t now = GetClock().NowSeconds();
    const std::string message = BuildMessage(variables, now, NewMessageId(from, now));
    const StartTls startTls = m_nStartTls;
    return QueueDelivery(label, [=] { return SendMail(request, startTls, from, to, message); });
}

void CSendMail::Serialize(CArchive& ar)
{
    SerializeHeader(ar, 1, "CSendMail");
    if (ar.IsStoring()) {
        ar << m_strServer << static_cast<DWORD>(m_nStartTls) << m_strUser;
        m_password.Serialize(ar);
        ar << m_strFrom;
        SerializeStrings(ar, m_arrTo);
        ar << m_strSubject << m_strBody << m_dwTimeout << m_bVerifyTls << m_strCaFile;
        return;
    }
    DWORD dwStartTls = 0;
    ar >> m_strServer >> dwStartTls >> m_strUser;
    if (dwStartTls > TlsNever)
        ar.Fail(CArchiveException::badSchema,
                "unknown STARTTLS choice " + std::to_string(dwStartTls));
    m_nStartTls = static_cast<StartTls>(dwStartTls);
    m_password.Serialize(ar);
    ar >> m_strFrom;
    SerializeStrings(ar, m_arrTo);
    ar >> m_strSubject >> m_strBody >> m_dwTimeout >> m_bVerifyTls >> m_strCaFile;
    m_bVerifyTls = m_bVerifyTls ? TRUE : FALSE;
}

// CWebHook

IMPLEMENT_SERIAL(CWebHook, CBaseAction, VERSIONABLE_SCHEMA | 1)

std::unique_ptr<CBaseAction> CWebHook::Clone() const
{
    return std::make_unique<CWebHook>(*this);
}

std::string CWebHook::GetDescription() const
{
    return "Web hook " + m_strMethod + " " + Quoted(WithoutCredentials(m_strUrl));
}

std::string CWebHook::BuildBody(const CTaskVariables& variables, const std::string& strTask,
                                std::string& strContentType) const
{
    const std::string defaultText = "%EVENT_SHORTNAME%: %EVENT_TEXT%";
    if (m_strFormat == "custom") {
        strContentType = "text/plain; charset=utf-8";
        bool bJson = false;
        for (const std::string& header : m_arrHeaders) {
            std::string lower = header;
            for (char& c : lower)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (lower.rfind("content-type:", 0) == 0) {
                strContentType.clear();
                bJson = lower.find("json") != std::string::npos;
            }
        }
        // A JSON template gets its values as JSON string contents.
        if (bJson)
            return MapValues(variables, [](const std::string& v) { return JsonEscape(v); })
                .Substitute(m_strBody);
        return variables.Substitute(m_strBody);
    }
    strContentType = "application/json";
    if (m_strFormat == "slack") {
        const CTaskVariables escaped = MapValues(variables, [](const std::string& v) {
            std::string out;
            for (char ch : v)
                out += ch == '&'   ? "&amp;"
                       : ch == '<' ? "&lt;"
                       : ch == '>' ? "&gt;"
                                   : std::string(1, ch);
            return out;
        });
        const std::string text =
            escaped.Substitute(m_strBody.empty() ? "*" + strTask + "* " + defaultText : m_strBody);
        return "{\"text\":" + JsonString(text) + "}";
    }
    if (m_strFormat == "teams") {
        const std::string text = variables.Substitute(m_strBody.empty() ? defaultText : m_strBody);
        return "{\"type\":\"message\",\"attachments\":[{\"contentType\":"
               "\"application/vnd.microsoft.card.adaptive\",\"contentUrl\":null,\"content\":{"
               "\"$schema\":\"http://adaptivecards.io/schemas/adaptive-card.json\","
               "\"type\":\"AdaptiveCard\",\"version\":\"1.2\",\"body\":["
               "{\"type\":\"TextBlock\",\"size\":\"Medium\",\"weight\":\"Bolder\",\"text\":" +
               JsonString(strTask) +
               "},{\"type\":\"TextBlock\",\"wrap\":true,\"text\":" + JsonString(text) + "}]}}]}";
    }
    // json: the task and every variable, named without its percent signs.
    std::string body = "{\"task\":" + JsonString(strTask);
    for (const auto& [name, value] : variables.GetAll()) {
        std::string member = name;
        if (member.size() > 2 && member.front() == '%' && member.back() == '%')
            member = member.substr(1, member.size() - 2);
        if (member == "task")
            continue;
        body += "," + JsonString(member) + ":" + JsonString(value);
    }
    return body + "}";
}

bool CWebHook::Run(const CTaskVariables& variables, const std::string& strTask) const
{
    CCurlRequest request;
    request.strUrl = variables.SubstituteConstants(m_strUrl);
    const std::string label = "Web hook " + m_strMethod + " " +
                              Quoted(WithoutCredentials(request.strUrl)) + " in task " +
                              Quoted(strTask);
    if (request.strUrl.rfind("http://", 0) != 0 && request.strUrl.rfind("https://", 0) != 0) {
        TaskLog(label + ": the URL must start with http:// or https://");
        return false;
    }
    request.nTimeoutMs = static_cast<long>(m_dwTimeout == 0 ? 10 : m_dwTimeout) * 1000;
    request.bVerifyTls = m_bVerifyTls != FALSE;
    request.strCaFile = m_strCaFile;
    std::string secret;
    if (!m_password.IsEmpty()) {
        std::string error;
        std::optional<std::string> password = m_password.Resolve(error);
        if (!password) {
            TaskLog(label + ": " + error);
            return false;
        }
        secret = *password;
    }
    if (!m_strUser.empty()) {
        request.strUser = m_strUser;
        request.strPassword = secret;
    }
    std::string contentType;
    const std::string body = BuildBody(variables, strTask, contentType);
    std::vector<std::string> headers;
    if (!contentType.empty())
        headers.push_back("Content-Type: " + contentType);
    for (const std::string& header : m_arrHeaders) {
        std::string line = HeaderSafe(variables.SubstituteConstants(header));
        for (std::size_t at = line.find("%PASSWORD%"); at != std::string::npos;
             at = line.find("%PASSWORD%", at + secret.size()))
            line.replace(at, 10, HeaderSafe(secret));
        const auto colon = line.find(':');
        if (colon == std::string::npos || colon == 0 || line.find(' ') < colon) {
            TaskLog(label + ": " + Quoted(header) + " is not a header (Name: value)");
            return false;
        }
        headers.push_back(line);
    }
    const std::string method = m_strMethod == "PUT" ? "PUT" : "POST";
    return QueueDelivery(label, [=] { return SendHttp(request, method, headers, body); });
}

void CWebHook::Serialize(CArchive& ar)
{
    SerializeHeader(ar, 1, "CWebHook");
    if (ar.IsStoring()) {
        ar << m_strUrl << m_strMethod << m_strFormat << m_strBody;
        SerializeStrings(ar, m_arrHeaders);
        ar << m_strUser;
        m_password.Serialize(ar);
        ar << m_dwTimeout << m_bVerifyTls << m_strCaFile;
        return;
    }
    ar >> m_strUrl >> m_strMethod >> m_strFormat >> m_strBody;
    SerializeStrings(ar, m_arrHeaders);
    ar >> m_strUser;
    m_password.Serialize(ar);
    ar >> m_dwTimeout >> m_bVerifyTls >> m_strCaFile;
    m_bVerifyTls = m_bVerifyTls ? TRUE : FALSE;
}

// CSyslogForward

IMPLEMENT_SERIAL(CSyslogForward, CBaseAction, VERSIONABLE_SCHEMA | 1)

std::unique_ptr<CBaseAction> CSyslogForward::Clone() const
{
    return std::make_unique<CSyslogForward>(*this);
}

std::string CSyslogForward::GetDescription() const
{
    return "Forward to syslog " +
           Quoted(m_strHost + ":" + std::to_string(m_dwPort) + "/" + m_strProtocol);
}

std::string CSyslogForward::BuildMessage(const CTaskVariables& variables,
                                         const std::string& strTask, std::int64_t nTime) const
{
    auto value = [&](const char* name) {
        const std::string* v = variables.Find(name);
        return v && *v != VAR_EMPTY_VALUE ? *v : std::string();
    };
    const int severity = m_nSeverity >= 0 && m_nSeverity < 8
                             ? m_nSeverity
                             : SyslogSeverityOfEventType(value(VAR_EVENT_TYPE));
    const DWORD facility = m_dwFacility < 24 ? m_dwFacility : 16;
    std::string message = "<" + std::to_string(facility * 8 + static_cast<DWORD>(severity)) +
                          ">1 " + FormatIsoTime(nTime) + " " + LocalHostName() + " quorvil " +
                          std::to_string(::getpid()) + " match [quorvil@32473 task=\"" +
                          SdValue(strTask) + "\"";
    static constexpr std::pair<const char*, const char*> PARAMS[] = {
        {"log", VAR_EVENT_LONGNAME}, {"name", VAR_EVENT_SHORTNAME},    {"seq", VAR_TASK_SEQ},
        {"time", VAR_EVENT_TIME},    {"type", VAR_EVENT_TYPE},         {"source", VAR_EVENT_SOURCE},
        {"eventId", VAR_EVENT_ID},   {"computer", VAR_EVENT_COMPUTER}, {"user", VAR_EVENT_USER}};
    for (const auto& [param, name] : PARAMS)
        if (std::string v = value(name); !v.empty())
            message += std::string(" ") + param + "=\"" + SdValue(v) + "\"";
    message += "] " + ToUtf8(variables.Substitute(m_strMessage));
    CutUtf8(message, std::max<DWORD>(m_dwMaxLength, 480));
    return message;
}

bool CSyslogForward::Run(const CTaskVariables& variables, const std::string& strTask) const
{
    const std::string host = variables.SubstituteConstants(m_strHost);
    const bool bTcp = m_strProtocol == "tcp";
    const std::string label = "Syslog to " + host + ":" + std::to_string(m_dwPort) +
                              (bTcp ? "/tcp" : "/udp") + " in task " + Quoted(strTask);
    if (host.empty() || m_dwPort == 0 || m_dwPort > 65535) {
        TaskLog(label + ": no host or port");
        return false;
    }
    const std::string message = BuildMessage(variables, strTask, GetClock().NowSeconds());
    const DWORD port = m_dwPort;
    const DWORD timeout = m_dwTimeout == 0 ? 10 : m_dwTimeout;
    return QueueDelivery(label, [=] { return SendSyslog(host, port, bTcp, timeout, message); });
}

void CSyslogForward::Serialize(CArchive& ar)
{
    SerializeHeader(ar, 1, "CSyslogForward");
    if (ar.IsStoring()) {
        ar << m_strHost << m_dwPort << m_strProtocol << m_dwFacility << m_nSeverity << m_strMessage
           << m_dwMaxLength << m_dwTimeout;
        return;
    }
    ar >> m_strHost >> m_dwPort >> m_strProtocol >> m_dwFacility >> m_nSeverity >> m_strMessage >>
        m_dwMaxLength >> m_dwTimeout;
}

// CDesktopNotification

IMPLEMENT_SERIAL(CDesktopNotification, CBaseAction, VERSIONABLE_SCHEMA | 1)

std::unique_ptr<CBaseAction> CDesktopNotification::Clone() const
{
    return std::make_unique<CDesktopNotification>(*this);
}

std::string CDesktopNotification::GetDescription() const
{
    return "Desktop notification " + Quoted(m_strSummary);
}

bool CDesktopNotification::Run(const CTaskVariables& variables, const std::string& strTask) const
{
    CNotification notification;
    notification.strTask = strTask;
    notification.strSummary = ToUtf8(HeaderSafe(variables.Substitute(m_strSummary)));
    std::string body = variables.Substitute(m_strBody);
    CutUtf8(body, NOTIFICATION_BODY_LIMIT);
    notification.strBody = ToUtf8(body);
    const std::string* type = variables.Find(VAR_EVENT_TYPE);
    notification.nUrgency = UrgencyOfEventType(type ? *type : std::string());
    const std::string* log = variables.Find(VAR_EVENT_LONGNAME);
    notification.strLogPath = log && *log != VAR_EMPTY_VALUE ? *log : std::string();
    GetTaskUi().ShowNotification(notification);
    return true;
}

void CDesktopNotification::Serialize(CArchive& ar)
{
    SerializeHeader(ar, 1, "CDesktopNotification");
    if (ar.IsStoring())
        ar << m_strSummary << m_strBody;
    else
        ar >> m_strSummary >> m_strBody;
}
