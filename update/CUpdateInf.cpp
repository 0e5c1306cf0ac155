#include "update/CUpdateInf.h"

#include "platform/framework/CFile.h"
#include "update/CSectionList.h"

#include <cstring>
#include <vector>

IMPLEMENT_DYNCREATE(CUpdateInf, CObject)

namespace {

// The first reads use the sizes every well-formed disk fits in; larger
// sections and name lists are read whole all the same.
const DWORD kSectionNamesSize = 256;
const DWORD kFragmentSectionSize = 4096;
const DWORD kTargetSectionSize = 30720;

// The merge works on a copy in the INF directory and puts it in place with
// one atomic copy, so a Windows INF file is only ever as it was or as merged.
const char kMergeWorkName[] = "~QMERGE.TMP";

BOOL IsNullName(LPCSTR name) { return lstrcmpiA(name, "NULL") == 0 ? TRUE : FALSE; }

CString DirectoryWithBackslash(const char* text) {
    CString dir(text);
    if (dir.IsEmpty() || dir[dir.GetLength() - 1] != '\\') {
        dir += '\\';
    }
    return dir;
}

// Whether line is one of the NUL-ended lines in list[0, length).
BOOL ListContains(const std::vector<char>& list, size_t length, LPCSTR line) {
    size_t offset = 0;
    while (offset < length) {
        LPCSTR candidate = list.data() + offset;
        if (lstrcmpiA(candidate, line) == 0) {
            return TRUE;
        }
        offset += std::strlen(candidate) + 1;
    }
    return FALSE;
}

} // namespace

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
    CString targetPath = m_infDir + target;
    CString sourcePath = m_sourceDir + source;
    CString backupPath = m_infDir + backup;
    // The merge runs even when no backup could be made.
    BackupFile(backupPath, targetPath);
    MergeFile(targetPath, sourcePath);
    return 1;
}

int CUpdateInf::BackupFile(LPCSTR backupPath, LPCSTR targetPath) {
    if (CFile::TestOpen(backupPath, CFile::modeRead)) {
        return 1;
    }
    return CopyFileA(targetPath, backupPath, FALSE) ? 1 : 0;
}

int CUpdateInf::MergeFile(LPCSTR targetPath, LPCSTR sourcePath) {
    CSectionList names;
    names.ReadSectionNames(sourcePath, kSectionNamesSize);
    if (names.GetFirst() == nullptr) {
        // A missing or empty fragment changes nothing.
        return 1;
    }
    CString work = m_infDir + kMergeWorkName;
    DeleteFileA(work);
    // A target that does not exist yet is created by the merge itself; one
    // that exists but could not be copied is left alone, since merging into
    // an empty copy would replace it with the fragment's lines only.
    BOOL targetExists = GetFileAttributesA(targetPath) != INVALID_FILE_ATTRIBUTES;
    if (!CopyFileA(targetPath, work, FALSE) && targetExists) {
        return 1;
    }
    for (LPCSTR name = names.GetFirst(); name != nullptr; name = names.GetNext(name)) {
        MergeSection(work, sourcePath, name);
    }
    CopyFileA(work, targetPath, FALSE);
    DeleteFileA(work);
    return 1;
}

void CUpdateInf::MergeSection(LPCSTR targetPath, LPCSTR sourcePath, LPCSTR section) {
    CSectionList targetLines;
    targetLines.ReadSection(section, targetPath, kTargetSectionSize);
    CSectionList sourceLines;
    sourceLines.ReadSection(section, sourcePath, kFragmentSectionSize);

    // Room for every line of both lists and the closing NUL, zero-filled so
    // the list stays closed by an empty line as lines are appended.
    size_t used = targetLines.GetLength();
    std::vector<char> merged(used + sourceLines.GetLength() + 2, '\0');
    std::memcpy(merged.data(), targetLines.GetList(), used);

    for (LPCSTR line = sourceLines.GetFirst(); line != nullptr; line = sourceLines.GetNext(line)) {
        // Lines appended before count too: a line twice in the fragment is
        // appended once.
        if (!ListContains(merged, used, line)) {
            size_t length = std::strlen(line) + 1;
            std::memcpy(merged.data() + used, line, length);
            used += length;
        }
    }
    WritePrivateProfileSectionA(section, merged.data(), targetPath);
}

int CUpdateInf::RestoreFile(LPCSTR target, LPCSTR backup) {
    CString targetPath = m_infDir + target;
    CString backupPath = m_infDir + backup;
    if (!CFile::TestOpen(backupPath, CFile::modeRead)) {
        return 0;
    }
    // When the copy fails the backup is the only copy of the former file: it
    // stays, and the entry does not count as restored.
    if (!CopyFileA(backupPath, targetPath, FALSE)) {
        return 0;
    }
    DeleteFileA(backupPath);
    return 1;
}

int CUpdateInf::InfFileExists(LPCSTR name) {
    return CFile::TestOpen(m_infDir + name, CFile::modeWrite) ? 1 : 0;
}

int CUpdateInf::CheckFilePair(LPCSTR infName, LPCSTR sourceName) {
    int passed = 0;
    if (IsNullName(infName) || CFile::TestOpen(m_infDir + infName, CFile::modeWrite)) {
        passed = 1;
    }
    if (IsNullName(sourceName) || CFile::TestOpen(m_sourceDir + sourceName, CFile::modeRead)) {
        passed += 1;
    }
    return passed;
}
