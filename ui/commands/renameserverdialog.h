#pragma once
// "Rename Server": asks for a new server name for a monitored event log.
// Modal; name holds the preset on entry and the entered name after OK (it
// may be empty: the caller decides). User interface thread only.
#include <string>

class QWidget;

bool AskServerName(QWidget* parent, std::string& name);
