#pragma once
// CScanCommands: the scanning commands "Star&t", "Sto&p" and the tool bar's
// toggle on the document's scan manager, and their menu state. Stop asks
// the scan thread to stop and returns at once.
//
// Threads: user interface thread only.
#include <memory>

#include "core/monmanager.h"

class CScanCommands {
public:
    explicit CScanCommands(const std::unique_ptr<CMonManager>& pManager) : m_pManager(pManager) {}

    void Start();
    void Stop();
    // Stops a running scan thread, else starts one.
    void Toggle();
    // The scan thread runs: Stop is enabled and the toggle checked, Start
    // is disabled.
    bool IsRunning() const;

private:
    const std::unique_ptr<CMonManager>& m_pManager;
};
