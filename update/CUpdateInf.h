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

    // What RestoreFile did with one uninstall line.
    enum RestoreResult {
        restoreNone = 0,    // neither backup nor target exists: nothing to put back
        restoreDone = 1,    // the backup was copied over the target and removed
        restoreMissing = 2, // no backup, but the target exists: it stays as it is
        restoreFailed = 3,  // refused, or the backup could not be put back or removed
    };

    // Why a name from layout.ini may not be joined to its folder. A name may
    // begin with subfolders (WIN95\MSHDC.QTR, OTHER\OEM1.INF), its parts
    // separated by backslashes or slashes, but must name a file inside its folder.
    enum NameFault {
        nameInFolder = 0, // a file of the folder or of a subfolder of it
        nameEmpty,        // no name, or an empty part (a doubled or trailing backslash)
        nameDrive,        // a drive, "C:" anywhere in it
        nameRooted,       // begins with a backslash or slash: the root of the drive
        nameParent,       // a part of dots only ("..", "..."), which leads out of the folder
        nameDevice,       // a part Windows opens as a device: CON, NUL, AUX, PRN, COMn, LPTn
        nameWildcard,     // "*" or "?"
        nameCharacter,    // a character no file name holds: a control character, '"', "<>|"
        // A part that begins with a blank or ends in a dot or blank (".", "A."):
        // Windows drops them, so the name would be a second spelling of
        // another file, and a backup could be its own target unnoticed.
        nameBlurred,
    };
    static NameFault JudgeName(LPCSTR name);
    static BOOL IsNameInFolder(LPCSTR name) { return JudgeName(name) == nameInFolder; }
    // Whether two names in one folder name the same file: letter case aside,
    // and a slash read as a backslash.
    static BOOL SameName(LPCSTR a, LPCSTR b);

    // Backs the target up if needed, then merges the fragment into it. 1
    // when the target is merged (or the fragment has nothing to merge); 0
    // when it was left as it was: a name outside its folder, a target that
    // cannot be written or is no ANSI text (a UTF-16 byte-order mark), a
    // backup that could not be made or is not a sound one, the backup name
    // is its own, or the merge failed.
    int UpdateFile(LPCSTR target, LPCSTR source, LPCSTR backup);
    // 1 when a sound backup already exists (it is never replaced) or copying
    // the target to the backup path succeeded. An existing backup is sound
    // when it is a file that opens for reading and is not empty while the
    // target is not; anything else at the backup path (a folder, a device, a
    // file held by another process, a stale empty file) gives 0.
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
    // Puts the backup back over the target and removes it. Names outside
    // their folder, or a backup named as the target itself, are refused; so is a
    // backup that is not a sound one (see BackupFile). When the copy fails
    // the backup stays, the only copy of the former file.
    RestoreResult RestoreFile(LPCSTR target, LPCSTR backup);
    // Whether the target holds what a merge of the fragment adds to it: the
    // fragment has at least one line, and every line of every section of it
    // is a line of that section of the target, compared as the merge
    // compares them (whole, letter case aside). So a target the fragment was
    // merged into holds it, and one it was never merged into does not,
    // unless the target had all of the fragment's lines before. TRUE as well
    // when the fragment or the target cannot be read whole: then nothing
    // shows that it was not merged. A fragment that is not there adds
    // nothing: FALSE.
    BOOL HoldsFragment(LPCSTR target, LPCSTR source);
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
