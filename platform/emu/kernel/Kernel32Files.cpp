// kernel32's directory and file functions of the emulated machine.
#include "platform/emu/kernel/FileSystem.h"
#include "platform/emu/kernel/Trace.h"
#include "platform/win32.h"

#include <cstring>
#include <sys/stat.h>

namespace {

using emu::kernel::fileTable;

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
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
    if (lpNumberOfBytesRead != nullptr) {
        *lpNumberOfBytesRead = 0;
    }
    auto file = fileTable().file(hFile);
    if (!file) {
        return fail(ERROR_INVALID_HANDLE);
    }
    if (lpNumberOfBytesRead == nullptr || lpOverlapped != nullptr ||
        (lpBuffer == nullptr && nNumberOfBytesToRead != 0)) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    DWORD error = ERROR_SUCCESS;
    return file->read(lpBuffer, nNumberOfBytesToRead, *lpNumberOfBytesRead, error) ? TRUE
                                                                                   : fail(error);
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                      LPDWORD lpNumberOfBytesWritten, LPVOID lpOverlapped) {
    if (lpNumberOfBytesWritten != nullptr) {
        *lpNumberOfBytesWritten = 0;
    }
    auto file = fileTable().file(hFile);
    if (!file) {
        return fail(ERROR_INVALID_HANDLE);
    }
    if (lpNumberOfBytesWritten == nullptr || lpOverlapped != nullptr ||
        (lpBuffer == nullptr && nNumberOfBytesToWrite != 0)) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    DWORD error = ERROR_SUCCESS;
    return file->write(lpBuffer, nNumberOfBytesToWrite, *lpNumberOfBytesWritten, error)
               ? TRUE
               : fail(error);
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
    struct stat info {};
    if (stat(host->c_str(), &info) != 0) {
        SetLastError(emu::kernel::absenceError(*host));
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD attributes = S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : 0;
    attributes |= (info.st_mode & S_IWUSR) == 0 ? FILE_ATTRIBUTE_READONLY : 0;
    return attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
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
