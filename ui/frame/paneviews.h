#pragma once
// The views of the frame's panes, each from its own library. Until that
// library is part of the build, a plain stand-in with the same name and the
// calls the frame makes takes its place, so the frame builds and runs on its
// own.
#include <QLabel>

#include "ui/common/mainframe.h"

class CPaneStandIn : public QLabel {
public:
    CPaneStandIn(const char* text, QWidget* parent) : QLabel(QString::fromLatin1(text), parent)
    {
        setAlignment(Qt::AlignCenter);
        setFocusPolicy(Qt::StrongFocus);
        setMinimumSize(1, 1);
    }
};

#ifdef QUORVIL_HAVE_UI_TREE
#include "ui/tree/quorvilview.h"
#else
class CQuorvilView : public CPaneStandIn {
public:
    explicit CQuorvilView(IMainFrame&, QWidget* parent = nullptr) : CPaneStandIn("Workspace", parent) {}
};
#endif

#ifdef QUORVIL_HAVE_UI_LISTS
#include "ui/lists/monfileview.h"
#include "ui/lists/serversview.h"
#else
class CMonFileView : public CPaneStandIn {
public:
    explicit CMonFileView(IMainFrame&, QWidget* parent = nullptr) : CPaneStandIn("Text logs", parent) {}
};
class CServersView : public CPaneStandIn {
public:
    explicit CServersView(IMainFrame&, QWidget* parent = nullptr) : CPaneStandIn("Event logs", parent) {}
};
#endif

#ifdef QUORVIL_HAVE_UI_VIEWERS
#include "ui/viewers/detailview.h"
#include "ui/viewers/eventlogview.h"
#include "ui/viewers/logcacheview.h"
#else
class CLogCacheView : public CPaneStandIn {
public:
    explicit CLogCacheView(IMainFrame&, QWidget* parent = nullptr) : CPaneStandIn("Text log viewer", parent) {}
    void ShowItem(DWORD) {}
};
class CEventLogView : public CPaneStandIn {
public:
    explicit CEventLogView(IMainFrame&, QWidget* parent = nullptr) : CPaneStandIn("Event log viewer", parent) {}
    struct State {
        DWORD dwID = 0;
    };
    void ShowItem(DWORD dwID) { m_dwID = dwID; }
    DWORD GetItem() const { return m_dwID; }
    State SaveState() const { return {m_dwID}; }
    void RestoreState(const State& state) { m_dwID = state.dwID; }

private:
    DWORD m_dwID = 0;
};
class CDetailView2 : public CPaneStandIn {
public:
    explicit CDetailView2(IMainFrame&, QWidget* parent = nullptr) : CPaneStandIn("Event detail", parent) {}
    void Attach(CEventLogView*) {}
};
#endif
