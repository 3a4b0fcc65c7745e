#pragma once
// A monitored log for tests: counts its scans and reports through a queue.
#include "core/itemid.h"
#include "core/monitoredobject.h"
#include "testing.h"

class CTestLog : public CMonitoredObject {
public:
    CTestLog()
    {
        m_dwID = ITEM_KIND_TEXT_LOG | NewItemID();
        m_bEnabled = TRUE;
    }
    void Scan() override
    {
        ++m_nScans;
        if (m_onScan)
            m_onScan(*this);
    }
    std::atomic<int> m_nScans{0};
    std::function<void(CTestLog&)> m_onScan;
};
