#pragma once
// CLogAdder: the flows that add logs and watch groups with the user's help:
// the new log's property sheet or the network browser, the questions about
// a log already monitored or a file that cannot be read, and the choice of
// the watch group a new key goes to. What they add goes through the
// document's editing operations.
//
// Threads: user interface thread only.
#include <memory>
#include <string>

#include "workspace/editoperations.h"

class CLogAdder {
public:
    // sampleDirectory: the folder of the sample log that the Quick Start
    // wizard monitors (the document's, set by start-up).
    CLogAdder(CDocument& doc, const std::unique_ptr<CMonManager>& pManager, CDocumentEditor& editor,
              const std::string& sampleDirectory)
        : m_doc(doc), m_pManager(pManager), m_editor(editor), m_sampleDirectory(sampleDirectory)
    {
    }

    // A text log from its property sheet (mode ADD_MODE_MENU or a Quick
    // Start mode): the new log's identifier, or 0 when nothing was added.
    DWORD AddTextLog(int nMode);
    // Event logs chosen in the network browser: the identifier of the first
    // log added, or 0.
    DWORD AddEventLogs(int nMode);
    // A journal from its property sheet: the new log's identifier, or 0
    // when nothing was added. Unless the sheet asked to read the entries
    // already there, it starts at the journal's end as it is now.
    DWORD AddJournal();
    // The watch group of a log that a new key goes to: "Choose Watch Group"
    // when the log has groups, a new "<New Watch Group %d>" (numbered with
    // the count of groups) when it has none or the user asks for one; -1 on
    // Cancel or for an unknown log.
    int ChooseOrAddWatchGroup(DWORD dwID);

private:
    BOOL AskAlreadyMonitoring(const std::string& what);

    CDocument& m_doc;
    const std::unique_ptr<CMonManager>& m_pManager;
    CDocumentEditor& m_editor;
    const std::string& m_sampleDirectory;
};
