#pragma once
// The event logs registered on a computer, read from its registry (the
// subkeys of SYSTEM\CurrentControlSet\Services\EventLog), for the Network
// dialog. The local computer (its exact name) is read through the local
// registry, any other name through "\\" + name.
//
// Threads: any; blocks on the registry files.
#include <string>
#include <vector>

struct CComputerLogs {
    bool m_bOk = false;
    std::vector<std::string> m_arrLogs; // log names in registry order
    std::string m_strError;             // the message for the user when !m_bOk
};

CComputerLogs ReadComputerLogs(const std::string& strComputer);
