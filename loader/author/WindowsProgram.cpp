#include "loader/author/WindowsProgram.h"

#include <climits>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace loader::author {

namespace {
// The folder of the running executable; empty when the host does not say.
std::string programFolder() {
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) {
        return "";
    }
    std::string text(path, static_cast<size_t>(length));
    size_t slash = text.rfind('/');
    return slash == std::string::npos ? "" : text.substr(0, slash);
}

// The program goes on a driver disk, a floppy disk or a folder copied to
// one: a file over 16 MB (far over any floppy) is no setup.exe for it, and is
// not read.
const uintmax_t kLargestProgram = 16 * 1024 * 1024;

bool tooLarge(const std::string& path) {
    std::error_code failed;
    uintmax_t size = std::filesystem::file_size(path, failed);
    return !failed && size > kLargestProgram;
}

bool readFile(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    bytes = text.str();
    return !in.bad();
}

uint32_t little32(const std::string& bytes, size_t at) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) {
        value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    }
    return value;
}

// An MS-DOS stub that points at a PE header: a Windows program.
bool isWindowsProgram(const std::string& bytes) {
    if (bytes.size() < 64 || bytes.compare(0, 2, "MZ") != 0) {
        return false;
    }
    uint32_t header = little32(bytes, 60);
    return header <= bytes.size() - 4 && bytes.compare(header, 4, std::string("PE\0\0", 4)) == 0;
}
} // namespace

bool WindowsProgram::read(const std::string& named, std::string& bytes, std::string& from,
                          std::string& error) {
    std::vector<std::string> places;
    if (!named.empty()) {
        places.push_back(named);
    } else {
        std::string folder = programFolder();
        if (!folder.empty()) {
            places.push_back(folder + "/windows/setup.exe");
            places.push_back(folder + "/../share/corvane/windows/setup.exe");
        }
    }
    for (const std::string& place : places) {
        if (tooLarge(place)) {
            error = place + " is over 16 MB: no setup.exe for a driver disk";
            return false;
        }
        if (!readFile(place, bytes)) {
            continue;
        }
        if (!isWindowsProgram(bytes)) {
            error = place + " is not a Windows program";
            return false;
        }
        from = place;
        return true;
    }
    error = "the Windows program setup.exe is not in ";
    for (size_t i = 0; i < places.size(); ++i) {
        error += (i == 0 ? "" : i + 1 == places.size() ? " or " : ", ") + places[i];
    }
    error += "; name it with --setup-exe FILE";
    return false;
}

} // namespace loader::author
