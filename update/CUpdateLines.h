// The install and uninstall lines of one layout.ini, read together so that
// each line is judged against all the others before any file is touched. A
// backup name is where uninstall copies from and what it deletes: it must
// never be a live Windows INF file, and it belongs to one Windows INF file
// only, or uninstall would put one file's text in place of another.
#pragma once

#include "platform/framework/CString.h"
#include "platform/win32.h"

#include <vector>

class CUpdateLines {
public:
    // Why a line may not run.
    enum Verdict {
        lineAllowed = 0,
        lineUnreadable,     // not TARGET=FRAGMENT,BACKUP (install) or TARGET=BACKUP (uninstall)
        lineBadName,        // a name leaves its folder or is no file name (CUpdateInf::JudgeName)
        lineBackupIsTarget, // the backup is its own target
        lineBackupIsLive,   // the backup is a Windows INF file another line names
        lineBackupIsInf,    // the backup ends in ".INF", as Windows' own INF files do
        lineBackupShared,   // an earlier install line names the backup for another target
    };

    struct Line {
        CString section;
        CString text;
        BOOL readable;
        CString target;
        CString source; // install lines only
        CString backup;
    };

    // The install sections in the order the layout lists them for an install
    // (the release tag picks one of 950, 950A and 950B), and the uninstall one.
    static const char* const kInstallSections[5];
    static const char kUninstallSection[];

    // Reads every install section, the uninstall section (UNINSTALL unless
    // another is named) and the Windows INF files that "CHECK FILES" names
    // of the layout.ini at iniPath.
    explicit CUpdateLines(LPCSTR iniPath, LPCSTR uninstallSection = kUninstallSection);

    // Splits an install line into target, source and backup:
    // target=source,backup, where the backup may itself hold "," and "=".
    // Blanks around each name are no part of it. FALSE for a line without
    // "=" or without "," after it.
    static BOOL SplitInstallLine(LPCSTR line, CString& target, CString& source, CString& backup);
    // Splits an uninstall line target=backup at its first "=", blanks around
    // the names left out. FALSE for a line without "=".
    static BOOL SplitUninstallLine(LPCSTR line, CString& target, CString& backup);

    const std::vector<Line>& GetInstallLines() const { return m_install; }
    const std::vector<Line>& GetUninstallLines() const { return m_uninstall; }
    const std::vector<Line>& GetCheckedLines() const { return m_checked; }

    // Whether a line (one of this object's) may run; other, when given, is
    // set to the line the verdict names (null when none).
    Verdict JudgeInstall(const Line& line, const Line** other = nullptr) const;
    Verdict JudgeUninstall(const Line& line, const Line** other = nullptr) const;
    // The install lines that back the uninstall line's target up under its
    // backup name and may run: what an install of this disk does to it.
    std::vector<const Line*> InstallLinesOf(const Line& line) const;

private:
    void ReadSection(LPCSTR iniPath, LPCSTR section, BOOL install);
    // The first line other than line whose target is name.
    const Line* LiveFileLine(const CString& name, const Line& line) const;
    Verdict JudgeBackupName(const Line& line, const Line** other) const;

    std::vector<Line> m_install;
    std::vector<Line> m_uninstall;
    std::vector<Line> m_checked; // targets only: the INF sides of CHECK FILES
};
