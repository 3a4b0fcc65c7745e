#pragma once
// "Choose a server": asks for the name of a computer that the network
// listing does not show, or that the user knows by name.
//
// Threads: user interface thread only.
#include <string>

class QWidget;

// Modal; on OK name holds the typed text and the result is true.
bool AskUnlistedServer(QWidget* parent, std::string& name);
