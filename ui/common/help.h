#pragma once
// The HTML manual in the desktop's browser: its contents (F1, Help > Help
// Topics) or the page of a help topic number (the Quick Start steps, Event
// Properties). The manual's topics.txt maps each number to its page and
// anchor. The manual is found beside the program: share/doc/quorvil/manual,
// or docs/manual in a build tree.
//
// Threads: the window thread.
#include <QUrl>

// The address of the topic's page and anchor; the contents page for topic 0
// or a topic the manual does not name; empty when there is no manual.
QUrl HelpTopicUrl(int nTopic);
// Opens HelpTopicUrl in the browser; false when there is no manual.
bool ShowHelpTopic(int nTopic);
