#include "workspace/scancommands.h"

void CScanCommands::Start()
{
    if (m_pManager)
        m_pManager->StartScanThread();
}

void CScanCommands::Stop()
{
    if (m_pManager)
        m_pManager->RequestStop();
}

void CScanCommands::Toggle()
{
    if (IsRunning())
        Stop();
    else
        Start();
}

bool CScanCommands::IsRunning() const
{
    return m_pManager && m_pManager->IsScanThreadRunning();
}
