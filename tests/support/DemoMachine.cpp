#include "tests/support/DemoMachine.h"

#include "loader/ProgramResources.h"

#include "tests/support/TestMachine.h"

#include <filesystem>

namespace corvane_test {

DemoMachine::DemoMachine() {
    copyHostTree(demoSource() + "/disk", disk());
    freshC();
    m_config.drives['C'] = cDrive();
    m_config.drives['D'] = disk();
    m_config.currentDir = "D:\\";
    m_config.windowsDir = "C:\\WINDOWS";
    m_config.headless = true;
}

DemoMachine::~DemoMachine() {
    shutdown();
}

std::string DemoMachine::demoSource() {
    return std::string(CORVANE_TEST_DATA) + "/../demo";
}

void DemoMachine::boot() {
    emu::boot(m_config);
    loader::registerProgramResources();
}

void DemoMachine::shutdown() {
    emu::shutdown();
}

void DemoMachine::freshC() const {
    std::filesystem::remove_all(cDrive());
    copyHostTree(demoSource() + "/c", cDrive());
}

} // namespace corvane_test
