#include "workspace/scanmessages.h"

#include "settings/systemlog.h"
#include "workspace/quorvildoc.h"

bool DispatchScanMessage(CQuorvilDoc& doc, const CQueuedMessage& msg, IScanMessageSink& sink)
{
    switch (msg.message) {
    case WM_SCAN_STATE:
        sink.OnScanState(ScanStateFromWParam(msg.wParam), std::chrono::seconds(msg.lParam));
        return true;
    case WM_SCAN_PROGRESS: {
        const auto dwID = static_cast<DWORD>(msg.wParam);
        doc.OnScanProgress(dwID, static_cast<DWORD>(msg.lParam));
        sink.OnLogProgress(dwID);
        return true;
    }
    case WM_AUTOSAVE: {
        sink.OnAutoSave(true);
        {
            CScanPause pause(doc.m_pManager.get());
            if (!doc.AutoSaveWorkspace())
                WriteSystemLogF("Failure during autosaving log positions.");
        }
        sink.OnAutoSave(false);
        return true;
    }
    case WM_DEFERRED_EDIT:
        if (std::optional<ViewHint> hint = ViewHintFromLParam(msg.lParam))
            doc.OnDeferredEdit(static_cast<DWORD>(msg.wParam), *hint);
        return true;
    default:
        return false;
    }
}

std::string ScanStateText(std::optional<ScanState> state)
{
    if (!state)
        return "";
    switch (*state) {
    case ScanState::Stopped:
        return "Stopped";
    case ScanState::Countdown:
        return "Starting";
    case ScanState::Running:
        return "Running";
    case ScanState::Stopping:
        return "Stopping";
    }
    return "";
}
