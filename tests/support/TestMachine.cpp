#include "tests/support/TestMachine.h"

#include "loader/ProgramResources.h"

#include <filesystem>

namespace corvane_test {

namespace {
std::string hostRelative(std::string relative) {
    for (char& c : relative) {
        if (c == '\\') {
            c = '/';
        }
    }
    return relative;
}
} // namespace

TestMachine::TestMachine() {
    std::filesystem::create_directories(m_root / "c/WINDOWS/INF");
    std::filesystem::create_directories(m_root / "disk");
    m_config.drives['C'] = cDrive();
    m_config.drives['D'] = disk();
    m_config.currentDir = "D:\\";
    m_config.windowsDir = "C:\\WINDOWS";
    m_config.headless = true;
}

TestMachine::~TestMachine() { emu::shutdown(); }

std::string TestMachine::onC(const std::string& relative) const {
    return cDrive() + "/" + hostRelative(relative);
}

std::string TestMachine::onDisk(const std::string& relative) const {
    return disk() + "/" + hostRelative(relative);
}

void TestMachine::writeC(const std::string& relative, const std::string& text) const {
    writeHostFile(onC(relative), text);
}

void TestMachine::writeDisk(const std::string& relative, const std::string& text) const {
    writeHostFile(onDisk(relative), text);
}

std::string TestMachine::readC(const std::string& relative) const {
    return readHostFile(onC(relative));
}

bool TestMachine::existsOnC(const std::string& relative) const {
    return hostFileExists(onC(relative));
}

void TestMachine::boot() {
    emu::boot(m_config);
    loader::registerProgramResources();
}

} // namespace corvane_test
