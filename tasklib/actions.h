#pragma once
// The actions of a task. Each action is a persisted class whose record starts
// with its own version, after its base class's reference and record, so new
// fields and new kinds of action can be added without breaking older
// workspaces. The class names are written into workspace files and never
// change: "CBaseAction", "CDisplayMessage", "CRunProgram", "CWriteToFile".
//
// Texts of an action are templates: when the action runs, the task's
// variables are substituted (CTaskVariables::Substitute). What names a place
// (the program to start, its working folder, the file to write) takes the
// constants only, so the text of a watched log never chooses a program or a
// file; it can only become message text, argument text or line text.
//
// Records (all numbers 32-bit):
//   CBaseAction      version 1
//   CDisplayMessage  class reference CBaseAction, its record; version 1,
//                    string message
//   CRunProgram      class reference CBaseAction, its record; version 1,
//                    string command, string folder, BOOL wait, timeout seconds
//   CWriteToFile     class reference CBaseAction, its record; version 1,
//                    string path, string text
// A record of a version newer than the reader knows fails to load.
//
// An action is owned by its task; Run may be called on a copy on any thread.
#include <cstdint>
#include <memory>
#include <string>

#include "archive/archive.h"
#include "platform/base/win32types.h"
#include "tasklib/taskvariables.h"

// The base of all actions. It is a persisted class of its own (derived
// records refer to it) but does nothing itself: only derived classes make
// one, and a task record holding a bare CBaseAction does not load.
class CBaseAction : public CObject {
    DECLARE_SERIAL(CBaseAction)
public:
    ~CBaseAction() override = default;

    // An independent copy, owned by the caller.
    virtual std::unique_ptr<CBaseAction> Clone() const;
    // One line that names the action and its main text, for lists.
    virtual std::string GetDescription() const;
    // Carries the action out with the variables of the task named strTask;
    // failures are written to the system log. True on success.
    virtual bool Run(const CTaskVariables& variables, const std::string& strTask) const;

    void Serialize(CArchive& ar) override;

protected:
    CBaseAction() = default;
    CBaseAction(const CBaseAction&) = default;
    CBaseAction& operator=(const CBaseAction&) = default;
    // Writes the base class reference and record, then this class's version;
    // loading returns the stored version after checking it is known.
    DWORD SerializeHeader(CArchive& ar, DWORD dwVersion, const char* pszClass);
};

// Shows a text through the front end (ITaskUi::ShowTaskMessage); blocks
// until the user has closed it.
class CDisplayMessage final : public CBaseAction {
    DECLARE_SERIAL(CDisplayMessage)
public:
    CDisplayMessage() = default;
    void SetMessage(const char* message) { m_strMessage = message ? message : ""; }
    const std::string& GetMessage() const { return m_strMessage; }

    std::unique_ptr<CBaseAction> Clone() const override;
    std::string GetDescription() const override;
    bool Run(const CTaskVariables& variables, const std::string& strTask) const override;
    void Serialize(CArchive& ar) override;

private:
    std::string m_strMessage;
};

// Starts a program. The command line template is split into words once
// (SplitCommandLine, process.h); the first word, the program, takes the
// constants, every other word all variables, each word staying one argument
// whatever its value holds. No shell is involved. The variables are also
// passed as environment variables (CTaskVariables::EnvironmentName). With
// m_bWait the task waits for the program, killing it (and its process group)
// after m_dwTimeout seconds unless that is 0. Success: started and, when
// waited for, ended with exit code 0. The end is written to the system log.
class CRunProgram final : public CBaseAction {
    DECLARE_SERIAL(CRunProgram)
public:
    CRunProgram() = default;
    void SetCommand(const char* command) { m_strCommand = command ? command : ""; }
    const std::string& GetCommand() const { return m_strCommand; }
    // The working folder (constants substituted); empty keeps the program's own.
    void SetDirectory(const char* directory) { m_strDirectory = directory ? directory : ""; }
    const std::string& GetDirectory() const { return m_strDirectory; }
    void SetWait(BOOL bWait) { m_bWait = bWait ? TRUE : FALSE; }
    BOOL GetWait() const { return m_bWait; }
    void SetTimeout(DWORD dwSeconds) { m_dwTimeout = dwSeconds; }
    DWORD GetTimeout() const { return m_dwTimeout; }

    std::unique_ptr<CBaseAction> Clone() const override;
    std::string GetDescription() const override;
    bool Run(const CTaskVariables& variables, const std::string& strTask) const override;
    void Serialize(CArchive& ar) override;

private:
    std::string m_strCommand;
    std::string m_strDirectory;
    BOOL m_bWait = FALSE;
    DWORD m_dwTimeout = 0; // seconds, 0 = no limit
};

// Appends one line to a file: the text template with the variables, its line
// breaks turned into blanks, and a line feed. The file (constants
// substituted into its path) and its folder are created when missing; the
// append is one write under the file's lock (AppendToFile).
class CWriteToFile final : public CBaseAction {
    DECLARE_SERIAL(CWriteToFile)
public:
    CWriteToFile() = default;
    void SetPath(const char* path) { m_strPath = path ? path : ""; }
    const std::string& GetPath() const { return m_strPath; }
    void SetText(const char* text) { m_strText = text ? text : ""; }
    const std::string& GetText() const { return m_strText; }

    std::unique_ptr<CBaseAction> Clone() const override;
    std::string GetDescription() const override;
    bool Run(const CTaskVariables& variables, const std::string& strTask) const override;
    void Serialize(CArchive& ar) override;

private:
    std::string m_strPath;
    std::string m_strText;
};
