#include "platform/emu/kernel/Registry.h"

#include "platform/emu/kernel/CregCheck.h"
#include "platform/emu/kernel/CregFile.h"
#include "platform/emu/kernel/CregWriter.h"
#include "platform/emu/kernel/FileSystem.h"
#include "platform/emu/kernel/HostEntry.h"
#include "platform/emu/kernel/RegistryFile.h"

#include <cstdio>
#include <mutex>
#include <utility>

namespace emu::kernel {

namespace {

struct RegistryState {
    std::string registryFile; // host path as configured; empty: in the Windows directory
    std::string windowsDir;
};

// Serialises the read-change-write of the hive between threads.
std::mutex g_registryMutex;
RegistryState g_registry;

void reportMalformed(const std::string& path, const RegistryFile::ParseError& error) {
    std::fprintf(stderr, "setup: registry file %s, line %d: %s\n", path.c_str(), error.line,
                 error.reason.c_str());
}

void reportMalformed(const std::string& path, const std::string& reason) {
    std::fprintf(stderr, "setup: registry file %s: %s\n", path.c_str(), reason.c_str());
}

LONG deleteFromText(const std::string& hostPath, const std::string& text,
                    const RegistryKeyPath& key) {
    RegistryFile hive(text);
    if (hive.error()) {
        reportMalformed(hostPath, *hive.error());
        return ERROR_BADDB;
    }
    if (hive.deleteKey(key) == 0) {
        return ERROR_FILE_NOT_FOUND;
    }
    return replaceSystemFile(hostPath, hive.text());
}

LONG deleteFromBinary(const std::string& hostPath, std::string bytes, const RegistryKeyPath& key) {
    CregFile hive(std::move(bytes));
    if (hive.error()) {
        reportMalformed(hostPath, *hive.error());
        return ERROR_BADDB;
    }
    // Damage that no release of Windows leaves stops the run: a change
    // would give the file new checksums and hide it.
    for (const CregFinding& finding : checkCregFile(hive)) {
        if (finding.inEveryRelease) {
            reportMalformed(hostPath, "at " + CregFile::hex(finding.offset) + ": " + finding.what);
            return ERROR_BADDB;
        }
    }
    std::vector<size_t> keys = hive.findKeys(key);
    if (keys.empty()) {
        return ERROR_FILE_NOT_FOUND;
    }
    CregWriter writer(hive);
    writer.deleteKeys(keys);
    return replaceSystemFile(hostPath, writer.bytes());
}

} // namespace

void bootRegistry(const MachineConfig& config) {
    std::lock_guard<std::mutex> lock(g_registryMutex);
    g_registry = RegistryState{config.registryFile, windowsDirectory()};
}

void shutdownRegistry() {
    std::lock_guard<std::mutex> lock(g_registryMutex);
    g_registry = RegistryState{};
}

namespace {

// The registry file as found: its name (a link stays a link), and why it
// cannot serve when it cannot.
struct HiveFile {
    std::string hostPath; // empty: there is none, an empty registry
    std::string fault;    // empty: a regular file, readable through hostPath
};

std::string faultOf(const std::string& hostPath, bool leavesDrive) {
    std::optional<HostEntry> named = HostEntry::linkAt(hostPath);
    std::optional<HostEntry> entry = HostEntry::at(hostPath);
    if (named && named->isLink() && !entry) {
        return "is a link that leads nowhere";
    }
    if (leavesDrive) {
        return "is a link that leads outside its drive";
    }
    if (!entry) {
        return "cannot be reached";
    }
    if (entry->isFolder()) {
        return "is a folder, not a file";
    }
    if (!entry->isRegularFile()) {
        return "is a pipe or device, not a file";
    }
    return "";
}

bool isNamed(const std::string& hostPath) {
    return HostEntry::linkAt(hostPath).has_value();
}

// Whatever carries the name is the registry file: Windows 95's own binary
// hive wins over a REGEDIT4 file beside it. Looked up per call, so the file
// may appear later, in whatever letter case.
HiveFile findHive() {
    std::lock_guard<std::mutex> lock(g_registryMutex);
    if (!g_registry.registryFile.empty()) {
        const std::string& path = g_registry.registryFile;
        return isNamed(path) ? HiveFile{path, faultOf(path, false)} : HiveFile{path, ""};
    }
    for (const char* name : {"\\SYSTEM.DAT", "\\SYSTEM.REG"}) {
        auto named = nameWindowsPath(g_registry.windowsDir + name);
        if (named && isNamed(named->hostPath)) {
            return HiveFile{named->hostPath, faultOf(named->hostPath, named->leavesDrive)};
        }
    }
    auto text = nameWindowsPath(g_registry.windowsDir + "\\SYSTEM.REG");
    return HiveFile{text ? text->hostPath : "", ""};
}

// The hive's bytes; nullopt with error set to the Win32 error code when the
// file is no file (reported) or cannot be read, and to ERROR_FILE_NOT_FOUND
// when there is none.
std::optional<std::string> readHive(const HiveFile& hive, LONG& error) {
    if (!hive.fault.empty()) {
        reportMalformed(hive.hostPath, hive.fault);
        error = ERROR_BADDB;
        return std::nullopt;
    }
    if (hive.hostPath.empty() || !isNamed(hive.hostPath)) {
        error = ERROR_FILE_NOT_FOUND;
        return std::nullopt;
    }
    auto text = readFileShared(hive.hostPath);
    error = text ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
    return text;
}

} // namespace

std::string registryHostPath() {
    return findHive().hostPath;
}

LONG deleteLocalMachineKey(std::string_view path) {
    auto key = splitRegistryKeyPath(path);
    if (!key) {
        return ERROR_BADKEY;
    }
    HiveFile hive = findHive();
    std::lock_guard<std::mutex> lock(g_registryMutex);
    LONG error = ERROR_SUCCESS;
    auto text = readHive(hive, error);
    if (!text) {
        return error; // ERROR_FILE_NOT_FOUND: no hive file, an empty registry
    }
    // The file's content says which format it is, whatever its name.
    if (CregFile::hasSignature(*text)) {
        return deleteFromBinary(hive.hostPath, std::move(*text), *key);
    }
    return deleteFromText(hive.hostPath, *text, *key);
}

bool localMachineKeyExists(std::string_view path) {
    auto key = splitRegistryKeyPath(path);
    if (!key) {
        return false;
    }
    HiveFile hive = findHive();
    std::lock_guard<std::mutex> lock(g_registryMutex);
    if (!hive.fault.empty()) {
        return false;
    }
    LONG error = ERROR_SUCCESS;
    auto text = readHive(hive, error);
    if (!text) {
        return false;
    }
    if (CregFile::hasSignature(*text)) {
        CregFile file(std::move(*text));
        return !file.error() && !file.findKeys(*key).empty();
    }
    RegistryFile file(*text);
    return !file.error() && file.hasKey(*key);
}

std::optional<std::string> localMachineString(std::string_view path, std::string_view name) {
    auto key = splitRegistryKeyPath(path);
    if (!key) {
        return std::nullopt;
    }
    HiveFile hive = findHive();
    std::lock_guard<std::mutex> lock(g_registryMutex);
    if (!hive.fault.empty()) {
        return std::nullopt;
    }
    LONG error = ERROR_SUCCESS;
    auto text = readHive(hive, error);
    if (!text) {
        return std::nullopt;
    }
    if (CregFile::hasSignature(*text)) {
        CregFile file(std::move(*text));
        return file.error() ? std::nullopt : file.stringValue(*key, name);
    }
    RegistryFile file(*text);
    return file.error() ? std::nullopt : file.stringValue(*key, name);
}

namespace {

std::string joinKeyPath(const RegistryKeyPath& key) {
    std::string path;
    for (const std::string& name : key) {
        path += (path.empty() ? "" : "\\") + name;
    }
    return path;
}

// The binary hive's keys below the root, each parent before its subkeys.
void listBinaryKeys(const CregFile& hive, size_t key, const std::string& path,
                    std::vector<std::string>& paths) {
    for (size_t sub : hive.keys()[key].subkeys) {
        std::string subPath = (path.empty() ? "" : path + "\\") + hive.keys()[sub].name;
        paths.push_back(subPath);
        listBinaryKeys(hive, sub, subPath, paths);
    }
}

} // namespace

bool checkLocalMachineHive(std::string& hostPath, std::vector<std::string>& problems) {
    problems.clear();
    HiveFile hive = findHive();
    hostPath = hive.hostPath;
    std::lock_guard<std::mutex> lock(g_registryMutex);
    if (hostPath.empty() || !isNamed(hostPath)) {
        return false;
    }
    auto text = hive.fault.empty() ? readFileShared(hostPath) : std::nullopt;
    if (!hive.fault.empty()) {
        problems.push_back(hive.fault);
    } else if (!text) {
        problems.push_back("cannot be read");
    } else if (CregFile::hasSignature(*text)) {
        for (const CregFinding& finding : checkCregFile(*text)) {
            char at[32];
            std::snprintf(at, sizeof at, "at 0x%zx: ", finding.offset);
            problems.push_back(at + finding.what);
        }
    } else {
        RegistryFile file(*text);
        if (file.error()) {
            problems.push_back("line " + std::to_string(file.error()->line) + ": " +
                               file.error()->reason);
        }
    }
    return true;
}

bool listLocalMachineKeys(std::vector<std::string>& paths, std::string& error) {
    paths.clear();
    HiveFile hive = findHive();
    const std::string& hostPath = hive.hostPath;
    std::lock_guard<std::mutex> lock(g_registryMutex);
    if (!hive.fault.empty()) {
        error = hostPath + ": " + hive.fault;
        return false;
    }
    if (hostPath.empty() || !isNamed(hostPath)) {
        return true;
    }
    auto text = readFileShared(hostPath);
    if (!text) {
        error = hostPath + ": cannot be read";
        return false;
    }
    if (CregFile::hasSignature(*text)) {
        CregFile hive(std::move(*text));
        if (hive.error()) {
            error = hostPath + ": " + *hive.error();
            return false;
        }
        if (!hive.keys().empty()) {
            listBinaryKeys(hive, 0, "", paths);
        }
        return true;
    }
    RegistryFile file(*text);
    if (file.error()) {
        error =
            hostPath + ": line " + std::to_string(file.error()->line) + ": " + file.error()->reason;
        return false;
    }
    for (const RegistryKeyPath& key : file.keyPaths()) {
        paths.push_back(joinKeyPath(key));
    }
    return true;
}

} // namespace emu::kernel
