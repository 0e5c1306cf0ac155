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
    return replaceFileAtomically(hostPath, hive.text()) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

LONG deleteFromBinary(const std::string& hostPath, std::string bytes, const RegistryKeyPath& key) {
    CregFile hive(std::move(bytes));
    if (hive.error()) {
        reportMalformed(hostPath, *hive.error());
        return ERROR_BADDB;
    }
    CregWriter writer(hive);
    if (writer.deleteKeys(hive.findKeys(key)) == 0) {
        return ERROR_FILE_NOT_FOUND;
    }
    return replaceFileAtomically(hostPath, writer.bytes()) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
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

std::string registryHostPath() {
    std::lock_guard<std::mutex> lock(g_registryMutex);
    if (!g_registry.registryFile.empty()) {
        return g_registry.registryFile;
    }
    // Resolved per call: the file may appear later, in whatever letter case.
    // Windows 95's own binary hive wins over a REGEDIT4 file beside it.
    auto binary = resolveWindowsPath(g_registry.windowsDir + "\\SYSTEM.DAT");
    if (binary && HostEntry::isRegularFileAt(*binary)) {
        return *binary;
    }
    return resolveWindowsPath(g_registry.windowsDir + "\\SYSTEM.REG").value_or("");
}

LONG deleteLocalMachineKey(std::string_view path) {
    auto key = splitRegistryKeyPath(path);
    if (!key) {
        return ERROR_BADKEY;
    }
    std::string hostPath = registryHostPath();
    std::lock_guard<std::mutex> lock(g_registryMutex);
    if (hostPath.empty() || !HostEntry::isRegularFileAt(hostPath)) {
        return ERROR_FILE_NOT_FOUND; // no hive file: an empty registry
    }
    auto text = readFileShared(hostPath);
    if (!text) {
        return ERROR_ACCESS_DENIED;
    }
    // The file's content says which format it is, whatever its name.
    if (CregFile::hasSignature(*text)) {
        return deleteFromBinary(hostPath, std::move(*text), *key);
    }
    return deleteFromText(hostPath, *text, *key);
}

bool localMachineKeyExists(std::string_view path) {
    auto key = splitRegistryKeyPath(path);
    if (!key) {
        return false;
    }
    std::string hostPath = registryHostPath();
    std::lock_guard<std::mutex> lock(g_registryMutex);
    if (hostPath.empty() || !HostEntry::isRegularFileAt(hostPath)) {
        return false;
    }
    auto text = readFileShared(hostPath);
    if (!text) {
        return false;
    }
    if (CregFile::hasSignature(*text)) {
        CregFile hive(std::move(*text));
        return !hive.error() && !hive.findKeys(*key).empty();
    }
    RegistryFile hive(*text);
    return !hive.error() && hive.hasKey(*key);
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
    hostPath = registryHostPath();
    std::lock_guard<std::mutex> lock(g_registryMutex);
    if (hostPath.empty() || !HostEntry::isRegularFileAt(hostPath)) {
        return false;
    }
    auto text = readFileShared(hostPath);
    if (!text) {
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
    std::string hostPath = registryHostPath();
    std::lock_guard<std::mutex> lock(g_registryMutex);
    if (hostPath.empty() || !HostEntry::isRegularFileAt(hostPath)) {
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
