// The file work behind install and uninstall: backs a Windows INF file up
// once, merges a maker's INF fragment into it, and puts backups back.
// Directories are fixed at construction: the source directory is the current
// directory, the INF directory the Windows directory's "inf" folder, both
// ending in a backslash; names from layout.ini are appended as they stand.
#pragma once

#include "platform/framework/CObject.h"
#include "platform/framework/CString.h"

class CMergeCheck;

class CUpdateInf : public CObject {
    DECLARE_DYNCREATE(CUpdateInf)

public:
    CUpdateInf();
    ~CUpdateInf() override;

    // Backs the target up if needed, then merges the fragment into it. 1
    // when the target is merged (or the fragment has nothing to merge); 0
    // when it was left as it was: it cannot be written, its backup could not
    // be made, the backup name is its own, or the merge failed.
    int UpdateFile(LPCSTR target, LPCSTR source, LPCSTR backup);
    // 1 when a backup already exists (it is never replaced); otherwise whether
    // copying the target to the backup path succeeded.
    int BackupFile(LPCSTR backupPath, LPCSTR targetPath);
    // Merges every section of the fragment at sourcePath into the file at
    // targetPath: all of them or, on any failure, none. A target that the
    // profile functions do not see whole is not merged, and a merged copy
    // that is not the target with exactly the merge's lines added does not
    // replace it. 1 when merged, 0 when the target was left as it was.
    int MergeFile(LPCSTR targetPath, LPCSTR sourcePath);
    // Appends to one section of the target the fragment's lines it lacks and
    // tells pCheck (when given) what it appended. FALSE when a list was not
    // read whole or the write failed.
    BOOL MergeSection(LPCSTR targetPath, LPCSTR sourcePath, LPCSTR section,
                      CMergeCheck* pCheck = nullptr);
    // Deletes the work files of merges that a killed program left in the INF
    // directory. Only while the update lock is held: then no merge is live.
    void RemoveWorkFiles();
    // 1 when the backup was found and put back over the target (and removed).
    // A backup named as the target itself is never taken for one.
    int RestoreFile(LPCSTR target, LPCSTR backup);
    // 1 when name exists in the INF directory and can be opened for writing.
    int InfFileExists(LPCSTR name);
    // How many sides of a "CHECK FILES" pair pass (0, 1 or 2); "NULL" passes.
    int CheckFilePair(LPCSTR infName, LPCSTR sourceName);

    LPCSTR GetSourceDir() const { return m_sourceDir; }
    LPCSTR GetInfDir() const { return m_infDir; }

private:
    // MergeFile with the target already read into check and found whole.
    int MergeCheckedFile(LPCSTR targetPath, LPCSTR sourcePath, CMergeCheck& check);

    CString m_sourceDir;
    CString m_infDir;
};
