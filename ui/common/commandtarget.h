#pragma once
// How the main window's menu and tool bar reach the active view: a view that
// implements ICommandTarget gets the commands (ui/common/commandids.h) first,
// while it holds the focus (or was the last view to hold it); what it does
// not handle goes to the frame. Before a menu opens and whenever the tool bar
// is brought up to date, UpdateCommand asks for each command's state.
//
// Threads: user interface thread only.
#include <QString>

#include "platform/base/win32types.h"

struct CCommandState {
    bool bEnabled = true;
    bool bChecked = false;
    QString strText; // empty: the menu keeps its text
};

class ICommandTarget {
public:
    virtual ~ICommandTarget() = default;
    // True when this view handles the command; then state says how it looks.
    virtual bool UpdateCommand(UINT nID, CCommandState& state) = 0;
    // True when this view handled the command.
    virtual bool OnCommand(UINT nID) = 0;
};
