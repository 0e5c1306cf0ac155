// kernel32's directory and file functions of the emulated machine.
#include "platform/emu/kernel/CodePage.h"
#include "platform/emu/kernel/FileSystem.h"
#include "platform/emu/kernel/HostEntry.h"
#include "platform/emu/kernel/SystemInfo.h"
#include "platform/emu/kernel/Trace.h"
#include "platform/win32.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

using emu::kernel::fileTable;

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

// ReadFile and WriteFile alike: the count is zeroed before anything is
// checked, then the handle is looked up, then the arguments are checked, and
// only then does `move` read or write the file.
template <typename Move>
BOOL transfer(HANDLE handle, bool hasBuffer, DWORD size, LPDWORD done, LPVOID overlapped,
              Move move) {
    if (done != nullptr) {
        *done = 0;
    }
    auto file = fileTable().file(handle);
    if (!file) {
        return fail(ERROR_INVALID_HANDLE);
    }
    if (done == nullptr || overlapped != nullptr || (!hasBuffer && size != 0)) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    DWORD error = ERROR_SUCCESS;
    return move(*file, error) ? TRUE : fail(error);
}

// Win32's rule for returning a string into a caller's buffer: the length
// copied without the NUL, or, when it does not fit, the size needed with the
// NUL and nothing copied.
DWORD copyOut(const std::string& text, LPSTR buffer, DWORD size) {
    if (buffer == nullptr || text.size() + 1 > size) {
        return static_cast<DWORD>(text.size() + 1);
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
}

// The host path of a Windows path that names a file, or the error code of
// its absence: nullopt and ERROR_PATH_NOT_FOUND for a bad path.
std::optional<std::string> hostPathOf(LPCSTR windowsPath) {
    if (windowsPath == nullptr) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return std::nullopt;
    }
    std::optional<std::string> host = emu::kernel::resolveWindowsPath(windowsPath);
    if (!host) {
        SetLastError(ERROR_PATH_NOT_FOUND);
    }
    return host;
}

} // namespace

DWORD WINAPI GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) {
    return copyOut(emu::kernel::currentDirectory(), lpBuffer, nBufferLength);
}

BOOL WINAPI SetCurrentDirectoryA(LPCSTR lpPathName) {
    if (lpPathName == nullptr) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    DWORD error = emu::kernel::setCurrentDirectory(lpPathName);
    return error == ERROR_SUCCESS ? TRUE : fail(error);
}

UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) {
    return copyOut(emu::kernel::windowsDirectory(), lpBuffer, uSize);
}

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
    // Windows 95 has no template files.
    if (hTemplateFile != nullptr) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return INVALID_HANDLE_VALUE;
    }
    std::optional<std::string> host = hostPathOf(lpFileName);
    if (!host) {
        return INVALID_HANDLE_VALUE;
    }
    DWORD error = ERROR_SUCCESS;
    auto file = emu::kernel::HostFile::open(
        *host, {dwDesiredAccess, dwShareMode, dwCreationDisposition, dwFlagsAndAttributes}, error);
    SetLastError(error);
    return file ? fileTable().addFile(std::move(file)) : INVALID_HANDLE_VALUE;
}

BOOL WINAPI CloseHandle(HANDLE hObject) {
    return fileTable().close(hObject) ? TRUE : fail(ERROR_INVALID_HANDLE);
}

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                     LPDWORD lpNumberOfBytesRead, LPVOID lpOverlapped) {
    return transfer(hFile, lpBuffer != nullptr, nNumberOfBytesToRead, lpNumberOfBytesRead,
                    lpOverlapped, [&](emu::kernel::HostFile& file, DWORD& error) {
                        return file.read(lpBuffer, nNumberOfBytesToRead, *lpNumberOfBytesRead,
                                         error);
                    });
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                      LPDWORD lpNumberOfBytesWritten, LPVOID lpOverlapped) {
    return transfer(hFile, lpBuffer != nullptr, nNumberOfBytesToWrite, lpNumberOfBytesWritten,
                    lpOverlapped, [&](emu::kernel::HostFile& file, DWORD& error) {
                        return file.write(lpBuffer, nNumberOfBytesToWrite, *lpNumberOfBytesWritten,
                                          error);
                    });
}

DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
    auto file = fileTable().file(hFile);
    std::optional<unsigned long long> size = file ? file->size() : std::nullopt;
    if (!size) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_FILE_SIZE;
    }
    if (lpFileSizeHigh != nullptr) {
        *lpFileSizeHigh = static_cast<DWORD>(*size >> 32);
    }
    // A size whose low part reads as INVALID_FILE_SIZE is told apart by the
    // last error.
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(*size & 0xFFFFFFFFu);
}

DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName) {
    std::optional<std::string> host = hostPathOf(lpFileName);
    if (!host) {
        return INVALID_FILE_ATTRIBUTES;
    }
    std::optional<emu::kernel::HostEntry> entry = emu::kernel::HostEntry::at(*host);
    if (!entry) {
        SetLastError(emu::kernel::absenceError(*host));
        return INVALID_FILE_ATTRIBUTES;
    }
    return entry->attributes();
}

HANDLE WINAPI CreateFileMappingA(HANDLE hFile, LPSECURITY_ATTRIBUTES, DWORD flProtect,
                                 DWORD dwMaximumSizeHigh, DWORD dwMaximumSizeLow, LPCSTR lpName) {
    auto file = fileTable().file(hFile);
    if (!file) {
        // Mappings backed by the paging file are not part of this machine.
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (lpName != nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    DWORD error = ERROR_SUCCESS;
    auto mapping = emu::kernel::FileMapping::create(*file, flProtect, dwMaximumSizeHigh,
                                                    dwMaximumSizeLow, error);
    SetLastError(error);
    return mapping ? fileTable().addMapping(std::move(mapping)) : nullptr;
}

LPVOID WINAPI MapViewOfFile(HANDLE hFileMappingObject, DWORD dwDesiredAccess,
                            DWORD dwFileOffsetHigh, DWORD dwFileOffsetLow,
                            SIZE_T dwNumberOfBytesToMap) {
    auto mapping = fileTable().mapping(hFileMappingObject);
    if (!mapping) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    DWORD error = ERROR_SUCCESS;
    auto view = emu::kernel::MappedView::map(*mapping, dwDesiredAccess, dwFileOffsetHigh,
                                             dwFileOffsetLow, dwNumberOfBytesToMap, error);
    if (!view) {
        SetLastError(error);
        return nullptr;
    }
    return fileTable().addView(std::move(view));
}

BOOL WINAPI UnmapViewOfFile(LPCVOID lpBaseAddress) {
    return fileTable().removeView(lpBaseAddress) ? TRUE : fail(ERROR_INVALID_ADDRESS);
}

BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists) {
    std::optional<std::string> from = hostPathOf(lpExistingFileName);
    std::optional<std::string> to = from ? hostPathOf(lpNewFileName) : std::nullopt;
    DWORD error = GetLastError();
    if (from && to) {
        error = emu::kernel::copyHostFile(*from, *to, bFailIfExists != FALSE);
    }
    BOOL result = error == ERROR_SUCCESS ? TRUE : fail(error);
    emu::TraceCall("CopyFileA")
        .str(lpExistingFileName)
        .str(lpNewFileName)
        .num(bFailIfExists)
        .result(result);
    return result;
}

BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
    std::optional<std::string> host = hostPathOf(lpFileName);
    DWORD error = host ? emu::kernel::deleteHostFile(*host) : GetLastError();
    BOOL result = error == ERROR_SUCCESS ? TRUE : fail(error);
    emu::TraceCall("DeleteFileA").str(lpFileName).result(result);
    return result;
}

HANDLE WINAPI FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData) {
    if (lpFileName == nullptr || lpFindFileData == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    // The folder part names a folder; the last part is the pattern.
    std::string path(lpFileName);
    const emu::kernel::CodePage& page = emu::kernel::ansiCodePage();
    std::size_t backslash = page.findLast(path, '\\');
    std::size_t slash = page.findLast(path, '/');
    if (slash == std::string::npos || (backslash != std::string::npos && backslash > slash)) {
        slash = backslash;
    }
    std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    std::string pattern = slash == std::string::npos ? path : path.substr(slash + 1);
    std::optional<std::string> host = hostPathOf(folder.c_str());
    if (!host) {
        return INVALID_HANDLE_VALUE;
    }
    auto search = emu::kernel::FileSearch::start(*host, pattern);
    if (!search || !search->next(*lpFindFileData)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    return fileTable().addSearch(std::move(search));
}

BOOL WINAPI FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData) {
    auto search = fileTable().search(hFindFile);
    if (!search || lpFindFileData == nullptr) {
        return fail(ERROR_INVALID_HANDLE);
    }
    return search->next(*lpFindFileData) ? TRUE : fail(ERROR_NO_MORE_FILES);
}

BOOL WINAPI FindClose(HANDLE hFindFile) {
    if (!fileTable().search(hFindFile)) {
        return fail(ERROR_INVALID_HANDLE);
    }
    fileTable().close(hFindFile);
    return TRUE;
}

UINT WINAPI GetTempFileNameA(LPCSTR lpPathName, LPCSTR lpPrefixString, UINT uUnique,
                             LPSTR lpTempFileName) {
    if (lpPathName == nullptr || lpTempFileName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string folder(lpPathName);
    // A last byte 0x5C that trails a lead byte ends a name, not the folder.
    if (!emu::kernel::ansiCodePage().endsWith(folder, '\\')) {
        folder += '\\';
    }
    std::string prefix(lpPrefixString == nullptr ? "" : lpPrefixString);
    prefix = prefix.substr(0, 3);
    if (folder.size() + prefix.size() + 8 >= MAX_PATH) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto nameFor = [&](UINT number) {
        char digits[8];
        std::snprintf(digits, sizeof digits, "%04X", number & 0xFFFFu);
        return folder + prefix + digits + ".TMP";
    };
    if (uUnique != 0) {
        // The caller vouches for the number: the name is made, no file.
        std::string name = nameFor(uUnique);
        std::memcpy(lpTempFileName, name.c_str(), name.size() + 1);
        return uUnique & 0xFFFFu;
    }
    // From a number taken from the clock, the first name that no file has;
    // creating it without sharing and only when new makes it this caller's,
    // also against other processes doing the same at the same moment.
    UINT number = (emu::kernel::tickCount() & 0xFFFFu) | 1u;
    for (UINT tries = 0; tries < 0xFFFFu; ++tries, number = number % 0xFFFFu + 1) {
        std::string name = nameFor(number);
        std::optional<std::string> host = hostPathOf(name.c_str());
        if (!host) {
            return 0;
        }
        DWORD error = ERROR_SUCCESS;
        auto file = emu::kernel::HostFile::open(
            *host, {GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL}, error);
        if (file) {
            std::memcpy(lpTempFileName, name.c_str(), name.size() + 1);
            SetLastError(ERROR_SUCCESS);
            return number;
        }
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS &&
            error != ERROR_SHARING_VIOLATION) {
            SetLastError(error);
            return 0;
        }
    }
    SetLastError(ERROR_FILE_EXISTS);
    return 0;
}
