#include "core/frontend.h"

#include <atomic>

#include "settings/systemlog.h"

namespace {

class CLoggingFrontEnd final : public IFrontEnd {
public:
    int MessageBox(const std::string& text, UINT type) override
    {
        WriteSystemLogF("Message: %s", text.c_str());
        return DefaultAnswer(type);
    }
};

CLoggingFrontEnd g_loggingFrontEnd;
std::atomic<IFrontEnd*> g_pFrontEnd{&g_loggingFrontEnd};
std::atomic<CMessageQueue*> g_pMainWindowQueue{nullptr};

} // namespace

int DefaultAnswer(UINT type)
{
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
    case MB_YESNOCANCEL:
        return IDCANCEL;
    case MB_YESNO:
        return IDNO;
    default:
        return IDOK;
    }
}

IFrontEnd& GetFrontEnd()
{
    return *g_pFrontEnd.load();
}

void SetFrontEnd(IFrontEnd* frontEnd)
{
    g_pFrontEnd.store(frontEnd ? frontEnd : &g_loggingFrontEnd);
}

CMessageQueue* GetMainWindowQueue()
{
    return g_pMainWindowQueue.load();
}

void SetMainWindowQueue(CMessageQueue* queue)
{
    g_pMainWindowQueue.store(queue);
}
