#include "fuzz/FuzzMachine.h"

#include "loader/ProgramResources.h"
#include "platform/emu/Machine.h"

#include <sanitizer/lsan_interface.h>

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace fs = std::filesystem;

namespace corvane_fuzz {

namespace {
// Every profile write syncs its file; in memory that costs nothing, which
// multiplies the executions a run gets through.
fs::path scratchFolder() {
    std::error_code ec;
    if (fs::is_directory("/dev/shm", ec)) {
        return "/dev/shm";
    }
    return fs::temp_directory_path();
}

// A run that ends in a finding or is killed leaves its folders behind, as
// no destructor runs then; each run clears away those of runs no longer alive.
constexpr const char* kFolderPrefix = "corvane-fuzz-";

void removeFoldersOfEndedRuns(const fs::path& scratch) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(scratch, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(kFolderPrefix, 0) != 0) {
            continue;
        }
        const long pid = std::strtol(name.c_str() + std::strlen(kFolderPrefix), nullptr, 10);
        if (pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
            fs::remove_all(entry.path(), ec);
        }
    }
}

// The font library reads its configuration on the first font made, and
// drops a few of the blocks it allocates there for good. That happens once
// per process, here, where the leak check does not count it against an input.
void loadFontConfiguration() {
    __lsan_disable();
    LOGFONTA logFont = {};
    logFont.lfHeight = 20;
    logFont.lfWeight = FW_BOLD;
    std::strcpy(logFont.lfFaceName, "Arial");
    HFONT font = CreateFontIndirectA(&logFont);
    if (font != nullptr) {
        DeleteObject(font);
    }
    __lsan_enable();
}
} // namespace

FuzzMachine& FuzzMachine::instance(int screenDepth) {
    static FuzzMachine machine(screenDepth);
    return machine;
}

FuzzMachine::FuzzMachine(int screenDepth) {
    const fs::path scratch = scratchFolder();
    removeFoldersOfEndedRuns(scratch);
    std::string pattern =
        (scratch / (kFolderPrefix + std::to_string(getpid()) + ".XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a temporary folder");
    }
    m_root = pattern;
    fs::create_directories(m_root + "/c/WINDOWS/INF");
    fs::create_directories(m_root + "/disk");
    emu::MachineConfig config;
    config.drives['C'] = m_root + "/c";
    config.drives['D'] = m_root + "/disk";
    config.currentDir = "D:\\";
    config.headless = true;
    config.screenDepth = screenDepth;
    emu::boot(config);
    loader::registerProgramResources();
    loadFontConfiguration();
}

FuzzMachine::~FuzzMachine() {
    emu::shutdown();
    std::error_code ec;
    fs::remove_all(m_root, ec);
}

void FuzzMachine::write(const std::string& path, const uint8_t* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

void FuzzMachine::write(const std::string& path, const std::string& text) {
    write(path, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

std::string FuzzMachine::read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace corvane_fuzz
