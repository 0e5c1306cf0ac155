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

TestMachine::TestMachine() : TestMachine(Options{}) {}

TestMachine::TestMachine(const Options& options) {
    makeDrives(options);
    m_config.windowsDir = "C:\\WINDOWS";
    m_config.headless = true;
    if (options.trace) {
        m_config.traceFile = m_root / "trace.txt";
    }
}

TestMachine::~TestMachine() {
    shutdown();
}

TestMachine::Options TestMachine::demo() {
    Options options;
    options.drives = Drives::Demo;
    return options;
}

TestMachine::Options TestMachine::demo950() {
    Options options;
    options.drives = Drives::Demo950;
    return options;
}

TestMachine::Options TestMachine::traced() {
    Options options;
    options.trace = true;
    return options;
}

void TestMachine::makeDrives(const Options& options) {
    if (options.drives == Drives::Demo) {
        copyHostTree(demoSource() + "/disk", disk());
        freshDemoC();
    } else if (options.drives == Drives::Demo950) {
        copyHostTree(demoSource() + "/disk950", disk());
        copyHostTree(demoSource() + "/c950", cDrive());
    } else {
        std::filesystem::create_directories(cDrive());
        for (const std::string& folder : options.cFolders) {
            std::filesystem::create_directories(onC(folder));
        }
    }
    m_config.drives['C'] = cDrive();
    m_config.currentDir = "C:\\";
    if (options.drives != Drives::COnly) {
        std::filesystem::create_directories(disk());
        m_config.drives['D'] = disk();
        m_config.currentDir = "D:\\";
    }
}

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

std::string TestMachine::traceText() const {
    return readHostFile(m_config.traceFile);
}

void TestMachine::boot() {
    emu::boot(m_config);
    loader::registerProgramResources();
}

void TestMachine::shutdown() {
    emu::shutdown();
}

std::string TestMachine::demoSource() {
    return std::string(CORVANE_TEST_DATA) + "/../demo";
}

void TestMachine::freshDemoC() const {
    std::filesystem::remove_all(cDrive());
    copyHostTree(demoSource() + "/c", cDrive());
}

} // namespace corvane_test
