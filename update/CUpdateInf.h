// The file work behind install and uninstall: backs a Windows INF file up
// once, merges a maker's INF fragment into it, and puts backups back.
// Directories are fixed at construction: the source directory is the current
// directory, the INF directory the Windows directory's "inf" folder, both
// ending in a backslash; names from layout.ini are appended as they stand.
#pragma once

#include "platform/framework/CObject.h"
#include "platform/framework/CString.h"

class CUpdateInf : public CObject {
    DECLARE_DYNCREATE(CUpdateInf)

public:
    CUpdateInf();
    ~CUpdateInf() override;

    // Backs the target up if needed, then merges the fragment into it. Always 1.
    int UpdateFile(LPCSTR target, LPCSTR source, LPCSTR backup);
    // 1 when a backup already exists (it is never replaced); otherwise whether
    // copying the target to the backup path succeeded.
    int BackupFile(LPCSTR backupPath, LPCSTR targetPath);
    // Merges every section of the fragment at sourcePath into the file at
    // targetPath. Always 1.
    int MergeFile(LPCSTR targetPath, LPCSTR sourcePath);
    // Appends to one section of the target the fragment's lines it lacks.
    void MergeSection(LPCSTR targetPath, LPCSTR sourcePath, LPCSTR section);
    // 1 when the backup was found and put back over the target (and removed).
    int RestoreFile(LPCSTR target, LPCSTR backup);
    // 1 when name exists in the INF directory and can be opened for writing.
    int InfFileExists(LPCSTR name);
    // How many sides of a "CHECK FILES" pair pass (0, 1 or 2); "NULL" passes.
    int CheckFilePair(LPCSTR infName, LPCSTR sourceName);

    LPCSTR GetSourceDir() const { return m_sourceDir; }
    LPCSTR GetInfDir() const { return m_infDir; }

private:
    CString m_sourceDir;
    CString m_infDir;
};
