#pragma once
// The workspace file (".qvw"): one CMonManager object record in the archive
// format. Reading, writing, the silent save the scan thread asks for, and
// the backup copy made before each save.
//
// Files are replaced atomically: the workspace is written to memory first,
// then to a temporary file renamed over the old one, so a failed save keeps
// the previous file whole. Paths may be UNC paths into the network's
// computer folders.
//
// Threads: user interface thread.
#include <memory>
#include <string>

#include "archive/archive.h"
#include "core/monmanager.h"

// The one object of a workspace archive, which must be a scan manager and
// end the archive (else CArchiveException).
std::unique_ptr<CMonManager> ReadManager(CArchive& ar);

// The manager a workspace file holds, or null with the message to show in
// strError (a file that cannot be read, or a damaged one). Stored values
// that the program never writes load as stored, with one system log line
// each (workspace/storedvalues.h).
std::unique_ptr<CMonManager> ReadWorkspaceFile(const std::string& path, std::string& strError);

// Writes the manager (null: an empty record) to path, without a backup;
// false with the message to show in strError. No scan starts while the
// logs are written.
bool WriteWorkspaceFile(CMonManager* pManager, const std::string& path, std::string& strError);

// The silent save on the scan thread's request: no backup, no message box;
// failures go to the system log. True when the file was written.
bool AutoSaveWorkspaceFile(CMonManager& manager, const std::string& path);

// Where BackupWorkspaceFile copies the workspace at path.
std::string WorkspaceBackupPath(const std::string& path);

// Copies the workspace file to "<base>.bak" in Settings/AutoBackupDir or
// beside it, when Settings/AutoBackup is on and the file is not empty.
void BackupWorkspaceFile(const std::string& path);

// What identifies the file's current contents, "device:inode:size:modified"
// ("" when it cannot be read): a replaced or rewritten file gets another.
std::string WorkspaceFileStamp(const std::string& path);
