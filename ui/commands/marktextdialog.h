#pragma once
// "Enter Mark Text": asks for the text of a mark (at most 200 characters).
// Modal; text holds the preset on entry and the entered text after OK.
// User interface thread only.
#include <string>

class QWidget;

bool AskMarkText(QWidget* parent, std::string& text);
