#include "update/CUpdateInf.h"

#include "common/ProgramLimits.h"
#include "platform/framework/CFile.h"
#include "update/CMergeCheck.h"
#include "update/CSectionList.h"

#include <cstring>
#include <vector>

IMPLEMENT_DYNCREATE(CUpdateInf, CObject)

namespace {

// The merge works on a copy in the INF directory and puts it in place with
// one atomic copy, so a Windows INF file is only ever as it was or as merged.
// Each merge makes its own copy under a name no other file has (prefix and
// four hex digits), so neither a second copy of the program nor a file left by
// one that was killed can meet it.
const char kMergeWorkPrefix[] = "~QM";

BOOL IsNullName(LPCSTR name) {
    return lstrcmpiA(name, "NULL") == 0 ? TRUE : FALSE;
}

CString DirectoryWithBackslash(const char* text) {
    CString dir(text);
    if (dir.IsEmpty() || dir[dir.GetLength() - 1] != '\\') {
        dir += '\\';
    }
    return dir;
}

// Whether line is one of the NUL-ended lines in list[0, length), compared
// as the merge compares them: whole, without regard to letter case.
BOOL ListContains(LPCSTR list, size_t length, LPCSTR line) {
    size_t offset = 0;
    while (offset < length) {
        LPCSTR candidate = list + offset;
        if (lstrcmpiA(candidate, line) == 0) {
            return TRUE;
        }
        offset += std::strlen(candidate) + 1;
    }
    return FALSE;
}

// What a file test finds at a path.
struct FileState {
    BOOL exists;   // something is there
    BOOL readable; // a file that opens for reading, granting no sharing
    DWORD size;    // its size when readable
    BOOL unicode;  // it starts with a UTF-16 byte-order mark
};

FileState LookAt(LPCSTR path) {
    FileState state = {FALSE, FALSE, 0, FALSE};
    state.exists = GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
    CFile file;
    if (!state.exists || !file.Open(path, CFile::modeRead | CFile::shareExclusive)) {
        return state;
    }
    state.readable = TRUE;
    state.size = file.GetLength();
    unsigned char head[2] = {0, 0};
    if (file.Read(head, 2) == 2) {
        state.unicode =
            (head[0] == 0xFF && head[1] == 0xFE) || (head[0] == 0xFE && head[1] == 0xFF);
    }
    return state;
}

// A backup worth trusting: a file that opens, and not an empty one standing
// for a target that has lines (a file left empty by an earlier failure).
// Whether the file at path is larger than limit bytes; a file that is there
// but cannot be sized counts as larger, a missing one as not.
BOOL IsLargerThan(LPCSTR path, DWORD limit) {
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) {
        return FALSE;
    }
    HANDLE hFile = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) {
        return FALSE; // what cannot be opened is judged by the steps that open it
    }
    DWORD high = 0;
    DWORD size = GetFileSize(hFile, &high);
    BOOL sized = size != INVALID_FILE_SIZE || GetLastError() == ERROR_SUCCESS;
    CloseHandle(hFile);
    return !sized || high != 0 || size > limit ? TRUE : FALSE;
}

// Whether a merge of source into target stays within the sizes the merge is
// made for (kLargestFragment, kLargestInfFile).
BOOL IsMergeBounded(LPCSTR targetPath, LPCSTR sourcePath) {
    return !IsLargerThan(sourcePath, kLargestFragment) && !IsLargerThan(targetPath, kLargestInfFile)
               ? TRUE
               : FALSE;
}

BOOL IsSoundBackup(const FileState& backup, const FileState& target) {
    return backup.readable && (backup.size != 0 || target.size == 0);
}

char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Whether the first length characters of name spell word, in any case.
BOOL StartsWithWord(LPCSTR name, int length, LPCSTR word) {
    for (int i = 0; i < length; ++i) {
        if (word[i] == '\0' || UpperAscii(name[i]) != word[i]) {
            return FALSE;
        }
    }
    return word[length] == '\0';
}

// Windows reaches a device under these names, whatever the extension: the
// part name[0, length) up to its first dot, without blanks before the dot.
BOOL IsDeviceName(LPCSTR name, int length) {
    int stem = 0;
    while (stem < length && name[stem] != '.') {
        ++stem;
    }
    while (stem > 0 && name[stem - 1] == ' ') {
        --stem;
    }
    const char* const devices[] = {"CON", "NUL", "AUX", "PRN", "CLOCK$"};
    for (LPCSTR device : devices) {
        if (StartsWithWord(name, stem, device)) {
            return TRUE;
        }
    }
    BOOL numbered = stem == 4 && name[3] >= '1' && name[3] <= '9';
    return numbered && (StartsWithWord(name, 3, "COM") || StartsWithWord(name, 3, "LPT"));
}

BOOL IsSeparator(char c) {
    return c == '\\' || c == '/' ? TRUE : FALSE;
}

// What is wrong with one part of a name, part[0, length), between separators.
CUpdateInf::NameFault JudgePart(LPCSTR part, int length) {
    if (length == 0) {
        return CUpdateInf::nameEmpty;
    }
    int dots = 0;
    while (dots < length && part[dots] == '.') {
        ++dots;
    }
    if (dots == length && length >= 2) {
        return CUpdateInf::nameParent;
    }
    if (IsDeviceName(part, length)) {
        return CUpdateInf::nameDevice;
    }
    char last = part[length - 1];
    if (part[0] == ' ' || last == ' ' || last == '.') {
        return CUpdateInf::nameBlurred;
    }
    return CUpdateInf::nameInFolder;
}

// name with every slash made a backslash, as Windows reads it.
CString WithBackslashes(LPCSTR name) {
    CString text;
    for (LPCSTR c = name; *c != '\0'; ++c) {
        text += *c == '/' ? '\\' : *c;
    }
    return text;
}

} // namespace

BOOL CUpdateInf::SameName(LPCSTR a, LPCSTR b) {
    return lstrcmpiA(WithBackslashes(a), WithBackslashes(b)) == 0 ? TRUE : FALSE;
}

CUpdateInf::NameFault CUpdateInf::JudgeName(LPCSTR name) {
    int length = lstrlenA(name);
    if (length == 0) {
        return nameEmpty;
    }
    if (IsSeparator(name[0])) {
        return nameRooted;
    }
    for (int i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (c == ':') {
            return nameDrive;
        }
        if (c == '*' || c == '?') {
            return nameWildcard;
        }
        if (c < 0x20 || c == '"' || c == '<' || c == '>' || c == '|') {
            return nameCharacter;
        }
    }
    int start = 0;
    for (int i = 0; i <= length; ++i) {
        if (i == length || IsSeparator(name[i])) {
            NameFault fault = JudgePart(name + start, i - start);
            if (fault != nameInFolder) {
                return fault;
            }
            start = i + 1;
        }
    }
    return nameInFolder;
}

CUpdateInf::CUpdateInf() {
    char buffer[MAX_PATH] = {};
    if (GetWindowsDirectoryA(buffer, MAX_PATH) >= MAX_PATH) {
        buffer[0] = '\0';
    }
    m_infDir = buffer;
    if (!m_infDir.IsEmpty() && m_infDir[m_infDir.GetLength() - 1] == '\\') {
        m_infDir += "inf\\";
    } else {
        m_infDir += "\\inf\\";
    }

    char current[MAX_PATH] = {};
    if (GetCurrentDirectoryA(MAX_PATH, current) >= MAX_PATH) {
        current[0] = '\0';
    }
    m_sourceDir = DirectoryWithBackslash(current);
}

CUpdateInf::~CUpdateInf() = default;

int CUpdateInf::UpdateFile(LPCSTR target, LPCSTR source, LPCSTR backup) {
    // Every name stays in its folder; a backup under the target's own name
    // would be the target itself, and uninstall would delete it. The walkers
    // have judged the line already (CUpdateLines), against every other line
    // and with the reason the disk check reports; the names are judged again
    // here because this is where they are joined to their folders: the
    // function is public, and no caller that skips the walkers' judgement
    // can hand it a name that leads out of its folder.
    if (!IsNameInFolder(target) || !IsNameInFolder(source) || !IsNameInFolder(backup) ||
        SameName(target, backup)) {
        return 0;
    }
    CString targetPath = m_infDir + target;
    CString sourcePath = m_sourceDir + source;
    CString backupPath = m_infDir + backup;
    FileState targetState = LookAt(targetPath);
    // A file that cannot be written is left as it stands, and gets no backup
    // that uninstall would then fail to put back. A UTF-16 file is no INF
    // file of Windows 95: ANSI lines appended to it would spoil it.
    if (targetState.exists && (!targetState.readable || targetState.unicode ||
                               !CFile::TestOpen(targetPath, CFile::modeWrite))) {
        return 0;
    }
    // A fragment or a file larger than the merge is made for, or one the
    // profile functions would see only part of, is left before anything is
    // touched.
    if (!IsMergeBounded(targetPath, sourcePath)) {
        return 0;
    }
    CMergeCheck check;
    if (!check.ReadTarget(targetPath) || !check.ProfileSeesWhole(targetPath)) {
        return 0;
    }
    BOOL backupWasThere = GetFileAttributesA(backupPath) != INVALID_FILE_ATTRIBUTES;
    // A file is changed only once its former text is kept: a merge without
    // a backup could never be undone. A missing target has nothing to keep
    // and is made by the merge, unless something that is no backup holds the
    // backup's name.
    if (!BackupFile(backupPath, targetPath) && (targetState.exists || backupWasThere)) {
        return 0;
    }
    if (MergeCheckedFile(targetPath, sourcePath, check)) {
        return 1;
    }
    // A backup made just now of a file that stays as it was would be put
    // back by uninstall over whatever the file holds by then. One that was
    // there before holds the file from before an earlier install and stays.
    if (!backupWasThere && targetState.exists && check.IsUnchanged(targetPath)) {
        DeleteFileA(backupPath);
    }
    return 0;
}

int CUpdateInf::BackupFile(LPCSTR backupPath, LPCSTR targetPath) {
    FileState backup = LookAt(backupPath);
    if (backup.exists) {
        return IsSoundBackup(backup, LookAt(targetPath)) ? 1 : 0;
    }
    return CopyFileA(targetPath, backupPath, FALSE) ? 1 : 0;
}

int CUpdateInf::MergeFile(LPCSTR targetPath, LPCSTR sourcePath) {
    if (!IsMergeBounded(targetPath, sourcePath)) {
        return 0;
    }
    CMergeCheck check;
    if (!check.ReadTarget(targetPath) || !check.ProfileSeesWhole(targetPath)) {
        return 0;
    }
    return MergeCheckedFile(targetPath, sourcePath, check);
}

int CUpdateInf::MergeCheckedFile(LPCSTR targetPath, LPCSTR sourcePath, CMergeCheck& check) {
    CSectionList names;
    names.ReadSectionNames(sourcePath, kSectionNamesSize);
    if (!names.IsWhole()) {
        return 0;
    }
    if (names.GetFirst() == nullptr) {
        // A missing or empty fragment changes nothing.
        return 1;
    }
    char work[MAX_PATH] = {};
    if (GetTempFileNameA(m_infDir, kMergeWorkPrefix, 0, work) == 0) {
        return 0;
    }
    // The work file starts empty: a target that does not exist yet is made
    // from the fragment's lines alone. One that exists but cannot be copied
    // is left alone, since merging into the empty file would replace it with
    // the fragment's lines only.
    BOOL merged = TRUE;
    if (GetFileAttributesA(targetPath) != INVALID_FILE_ATTRIBUTES) {
        merged = CopyFileA(targetPath, work, FALSE);
    }
    for (LPCSTR name = names.GetFirst(); merged && name != nullptr; name = names.GetNext(name)) {
        merged = MergeSection(work, sourcePath, name, &check);
    }
    // Only a copy with every section merged, and nothing else changed, lost
    // or cut by the profile functions, replaces the target.
    if (merged) {
        merged = check.Verify(work);
    }
    if (merged) {
        merged = CopyFileA(work, targetPath, FALSE);
    }
    DeleteFileA(work);
    return merged ? 1 : 0;
}

BOOL CUpdateInf::MergeSection(LPCSTR targetPath, LPCSTR sourcePath, LPCSTR section,
                              CMergeCheck* pCheck) {
    CSectionList targetLines;
    targetLines.ReadSection(section, targetPath, kTargetSectionSize);
    CSectionList sourceLines;
    sourceLines.ReadSection(section, sourcePath, kFragmentSectionSize);
    // Writing back a section the platform stopped reading would drop the
    // rest of its lines.
    if (!targetLines.IsWhole() || !sourceLines.IsWhole()) {
        return FALSE;
    }

    // Room for every line of both lists and the closing NUL, zero-filled so
    // the list stays closed by an empty line as lines are appended.
    size_t used = targetLines.GetLength();
    std::vector<char> merged(used + sourceLines.GetLength() + 2, '\0');
    std::memcpy(merged.data(), targetLines.GetList(), used);

    for (LPCSTR line = sourceLines.GetFirst(); line != nullptr; line = sourceLines.GetNext(line)) {
        // Lines appended before count too: a line twice in the fragment is
        // appended once.
        if (!ListContains(merged.data(), used, line)) {
            size_t length = std::strlen(line) + 1;
            std::memcpy(merged.data() + used, line, length);
            used += length;
        }
    }
    if (pCheck != nullptr) {
        pCheck->AddSection(section, merged.data() + targetLines.GetLength(),
                           static_cast<DWORD>(used - targetLines.GetLength()));
    }
    return WritePrivateProfileSectionA(section, merged.data(), targetPath);
}

void CUpdateInf::RemoveWorkFiles() {
    WIN32_FIND_DATAA found;
    HANDLE hSearch = FindFirstFileA(m_infDir + kMergeWorkPrefix + "????.TMP", &found);
    if (hSearch == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            DeleteFileA(m_infDir + found.cFileName);
        }
    } while (FindNextFileA(hSearch, &found));
    FindClose(hSearch);
}

CUpdateInf::RestoreResult CUpdateInf::RestoreFile(LPCSTR target, LPCSTR backup) {
    // Copying a file over itself and then deleting "the backup" would delete
    // the Windows INF file; a name outside the INF folder reaches files that
    // are no backups. Judged again after CUpdateLines for the reason
    // UpdateFile gives: here the names are joined to the folder.
    if (!IsNameInFolder(target) || !IsNameInFolder(backup) || SameName(target, backup)) {
        return restoreFailed;
    }
    CString targetPath = m_infDir + target;
    CString backupPath = m_infDir + backup;
    FileState backupState = LookAt(backupPath);
    if (!backupState.exists) {
        return GetFileAttributesA(targetPath) != INVALID_FILE_ATTRIBUTES ? restoreMissing
                                                                         : restoreNone;
    }
    if (!IsSoundBackup(backupState, LookAt(targetPath))) {
        return restoreFailed;
    }
    // When the copy fails the backup is the only copy of the former file: it
    // stays, and the entry does not count as restored.
    if (!CopyFileA(backupPath, targetPath, FALSE)) {
        return restoreFailed;
    }
    return DeleteFileA(backupPath) ? restoreDone : restoreFailed;
}

BOOL CUpdateInf::HoldsFragment(LPCSTR target, LPCSTR source) {
    CString targetPath = m_infDir + target;
    CString sourcePath = m_sourceDir + source;
    // A fragment that is not there adds nothing; one that is there but
    // cannot be read whole may have added anything.
    if (GetFileAttributesA(sourcePath) == INVALID_FILE_ATTRIBUTES) {
        return FALSE;
    }
    if (!IsMergeBounded(targetPath, sourcePath)) {
        return TRUE;
    }
    CSectionList names;
    names.ReadSectionNames(sourcePath, kSectionNamesSize);
    if (!names.IsWhole()) {
        return TRUE;
    }
    BOOL anyLine = FALSE;
    for (LPCSTR name = names.GetFirst(); name != nullptr; name = names.GetNext(name)) {
        CSectionList sourceLines;
        sourceLines.ReadSection(name, sourcePath, kFragmentSectionSize);
        CSectionList targetLines;
        targetLines.ReadSection(name, targetPath, kTargetSectionSize);
        if (!sourceLines.IsWhole() || !targetLines.IsWhole()) {
            return TRUE;
        }
        for (LPCSTR line = sourceLines.GetFirst(); line != nullptr;
             line = sourceLines.GetNext(line)) {
            if (!ListContains(targetLines.GetList(), targetLines.GetLength(), line)) {
                return FALSE;
            }
            anyLine = TRUE;
        }
    }
    return anyLine;
}

int CUpdateInf::InfFileExists(LPCSTR name) {
    return CFile::TestOpen(m_infDir + name, CFile::modeWrite) ? 1 : 0;
}

int CUpdateInf::CheckFilePair(LPCSTR infName, LPCSTR sourceName) {
    // A file larger than the merge is made for fails the check as well, so
    // that the command stops before it changes anything.
    int passed = 0;
    if (IsNullName(infName) || (CFile::TestOpen(m_infDir + infName, CFile::modeWrite) &&
                                !IsLargerThan(m_infDir + infName, kLargestInfFile))) {
        passed = 1;
    }
    if (IsNullName(sourceName) || (CFile::TestOpen(m_sourceDir + sourceName, CFile::modeRead) &&
                                   !IsLargerThan(m_sourceDir + sourceName, kLargestFragment))) {
        passed += 1;
    }
    return passed;
}
