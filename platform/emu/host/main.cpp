// The host program: reads the host options, prepares the emulated machine and
// starts the program as Windows would.
#include "platform/emu/Machine.h"
#include "platform/emu/host/HostDisplay.h"
#include "platform/emu/host/HostOptions.h"
#include "platform/emu/host/HostSession.h"
#include "platform/emu/host/InputScript.h"
#include "platform/emu/host/ProgramResources.h"
#include "platform/framework/AfxWin.h"

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int kBadUsage = 2;
constexpr int kNoDisplay = 1;

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    emu::host::HostOptions options;
    std::string error;
    if (!emu::host::parseHostOptions(args, options, error)) {
        std::fprintf(stderr, "setup: %s\n%s\n", error.c_str(), emu::host::hostUsage().c_str());
        return kBadUsage;
    }
    emu::host::InputScript script;
    if (!options.inputScript.empty() &&
        !emu::host::InputScript::load(options.inputScript, script, error)) {
        std::fprintf(stderr, "setup: %s\n", error.c_str());
        return kBadUsage;
    }
    std::unique_ptr<emu::host::HostDisplay> display;
    if (!options.machine.headless) {
        display = emu::host::HostDisplay::open(options.machine.screenWidth,
                                               options.machine.screenHeight, error);
        if (!display) {
            std::fprintf(stderr, "setup: no display available; use --headless\n");
            return kNoDisplay;
        }
    }
    try {
        emu::boot(options.machine);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "setup: %s\n", e.what());
        return kBadUsage;
    }
    emu::host::registerProgramResources();
    int result = 0;
    {
        emu::host::HostSession session(std::move(script), std::move(display),
                                       emu::host::HostSession::processEnds());
        session.start();
        char commandLine[] = "";
        result = AfxWinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWNORMAL);
    }
    emu::shutdown();
    return result;
}
