#include "update/CUpdateLines.h"

#include "common/ProgramLimits.h"
#include "common/SplitAtEquals.h"
#include "update/CSectionList.h"
#include "update/CUpdateInf.h"

namespace {

BOOL SameName(const CString& a, const CString& b) {
    return CUpdateInf::SameName(a, b);
}

// A name without the blanks and tabs around it: "T.INF=S.QTR, T.OLD" names
// the backup T.OLD.
CString Trimmed(const CString& text) {
    int first = 0;
    int end = text.GetLength();
    while (first < end && (text[first] == ' ' || text[first] == '\t')) {
        ++first;
    }
    while (end > first && (text[end - 1] == ' ' || text[end - 1] == '\t')) {
        --end;
    }
    return text.Mid(first, end - first);
}

// Windows reads every file of its INF directory that ends in ".INF" as a
// driver description: a backup under such a name would be read too, and
// may be one of Windows' own files.
BOOL EndsInInf(const CString& name) {
    int length = name.GetLength();
    return length >= 4 && lstrcmpiA(name.Mid(length - 4), ".INF") == 0 ? TRUE : FALSE;
}

void Point(const CUpdateLines::Line** other, const CUpdateLines::Line* line) {
    if (other != nullptr) {
        *other = line;
    }
}

} // namespace

const char* const CUpdateLines::kInstallSections[5] = {"COMMON", "950", "950A", "950B", "USB INF"};
const char CUpdateLines::kUninstallSection[] = "UNINSTALL";

CUpdateLines::CUpdateLines(LPCSTR iniPath, LPCSTR uninstallSection) {
    for (LPCSTR section : kInstallSections) {
        ReadSection(iniPath, section, TRUE);
    }
    ReadSection(iniPath, uninstallSection, FALSE);
    CSectionList checked;
    checked.ReadSection("CHECK FILES", iniPath, kLayoutSectionSize);
    for (LPCSTR text = checked.GetFirst(); text != nullptr; text = checked.GetNext(text)) {
        Line line;
        line.section = "CHECK FILES";
        line.text = text;
        CString source;
        line.readable =
            SplitAtEquals(text, line.target, source) && lstrcmpiA(line.target, "NULL") != 0;
        m_checked.push_back(line);
    }
}

BOOL CUpdateLines::SplitInstallLine(LPCSTR line, CString& target, CString& source,
                                    CString& backup) {
    CString key;
    CString rest;
    if (!SplitAtEquals(line, key, rest)) {
        return FALSE;
    }
    int comma = rest.Find(',');
    if (comma < 0) {
        return FALSE;
    }
    target = Trimmed(key);
    source = Trimmed(rest.Left(comma));
    backup = Trimmed(rest.Mid(comma + 1));
    return TRUE;
}

BOOL CUpdateLines::SplitUninstallLine(LPCSTR line, CString& target, CString& backup) {
    CString key;
    CString value;
    if (!SplitAtEquals(line, key, value)) {
        return FALSE;
    }
    target = Trimmed(key);
    backup = Trimmed(value);
    return TRUE;
}

void CUpdateLines::ReadSection(LPCSTR iniPath, LPCSTR section, BOOL install) {
    CSectionList lines;
    lines.ReadSection(section, iniPath, kLayoutSectionSize);
    for (LPCSTR text = lines.GetFirst(); text != nullptr; text = lines.GetNext(text)) {
        Line line;
        line.section = section;
        line.text = text;
        if (install) {
            line.readable = SplitInstallLine(text, line.target, line.source, line.backup);
            m_install.push_back(line);
        } else {
            line.readable = SplitUninstallLine(text, line.target, line.backup);
            m_uninstall.push_back(line);
        }
    }
}

const CUpdateLines::Line* CUpdateLines::LiveFileLine(const CString& name, const Line& line) const {
    for (const std::vector<Line>* lines : {&m_install, &m_uninstall, &m_checked}) {
        for (const Line& other : *lines) {
            if (&other != &line && other.readable && SameName(other.target, name)) {
                return &other;
            }
        }
    }
    return nullptr;
}

// What install and uninstall lines alike refuse of a backup name: the target
// itself, a file the program changes or checks, or a name Windows reads as an
// INF file of its own.
CUpdateLines::Verdict CUpdateLines::JudgeBackupName(const Line& line, const Line** other) const {
    if (SameName(line.target, line.backup)) {
        return lineBackupIsTarget;
    }
    if (const Line* live = LiveFileLine(line.backup, line)) {
        Point(other, live);
        return lineBackupIsLive;
    }
    if (EndsInInf(line.backup)) {
        return lineBackupIsInf;
    }
    return lineAllowed;
}

CUpdateLines::Verdict CUpdateLines::JudgeInstall(const Line& line, const Line** other) const {
    Point(other, nullptr);
    if (!line.readable) {
        return lineUnreadable;
    }
    // CUpdateInf::UpdateFile judges the names again where it joins them to
    // their folders; this judgement comes first, before any file is touched,
    // and gives the reason a line is set aside.
    if (!CUpdateInf::IsNameInFolder(line.target) || !CUpdateInf::IsNameInFolder(line.source) ||
        !CUpdateInf::IsNameInFolder(line.backup)) {
        return lineBadName;
    }
    Verdict backup = JudgeBackupName(line, other);
    if (backup != lineAllowed) {
        return backup;
    }
    // The first line that names a backup owns it; a later line may name it
    // again only for the same Windows INF file.
    for (const Line& earlier : m_install) {
        if (&earlier == &line) {
            break;
        }
        if (earlier.readable && SameName(earlier.backup, line.backup) &&
            !SameName(earlier.target, line.target)) {
            Point(other, &earlier);
            return lineBackupShared;
        }
    }
    return lineAllowed;
}

CUpdateLines::Verdict CUpdateLines::JudgeUninstall(const Line& line, const Line** other) const {
    Point(other, nullptr);
    if (!line.readable) {
        return lineUnreadable;
    }
    if (!CUpdateInf::IsNameInFolder(line.target) || !CUpdateInf::IsNameInFolder(line.backup)) {
        return lineBadName;
    }
    Verdict backup = JudgeBackupName(line, other);
    if (backup != lineAllowed) {
        return backup;
    }
    // A backup that an install line makes of another file holds that file's
    // text. The first line naming a backup owns it; the install refuses the
    // others.
    for (const Line& install : m_install) {
        if (install.readable && SameName(install.backup, line.backup)) {
            if (!SameName(install.target, line.target)) {
                Point(other, &install);
                return lineBackupShared;
            }
            break;
        }
    }
    return lineAllowed;
}

std::vector<const CUpdateLines::Line*> CUpdateLines::InstallLinesOf(const Line& line) const {
    std::vector<const Line*> lines;
    for (const Line& install : m_install) {
        if (install.readable && SameName(install.target, line.target) &&
            SameName(install.backup, line.backup) && JudgeInstall(install) == lineAllowed) {
            lines.push_back(&install);
        }
    }
    return lines;
}
