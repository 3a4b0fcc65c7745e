#pragma once
// The servers that alert actions send to, started by the test on loopback
// (alert_servers.py: an SMTP server of python3-aiosmtpd, Python's HTTP
// server, syslog listeners that parse RFC 5424). Each writes what it received
// into a folder of its own, one file per message.
#include <sys/types.h>

#include "testing.h"

class CAlertServer {
public:
    // mode: "smtp", "http", "syslog-udp" or "syslog-tcp"; extra: the
    // script's options ("--tls CERT KEY", "--auth USER PASS").
    explicit CAlertServer(const std::string& mode, std::vector<std::string> extra = {});
    // Ends the server (its standard input closes) and waits for it.
    ~CAlertServer();
    CAlertServer(const CAlertServer&) = delete;
    CAlertServer& operator=(const CAlertServer&) = delete;

    int Port() const { return m_nPort; }
    // The messages received, in order, waiting (at most 30 s) until there
    // are n.
    std::vector<std::string> Messages(std::size_t n) const;

private:
    std::vector<std::string> Read() const;

    std::string m_strDir;
    pid_t m_pid = -1;
    int m_fdIn = -1;
    int m_nPort = 0;
};
