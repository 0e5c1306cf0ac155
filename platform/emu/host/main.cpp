// The host program: reads the host options, prepares the emulated machine and
// starts the program as Windows would.
#include "platform/emu/Machine.h"
#include "platform/emu/host/HostOptions.h"

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    emu::host::HostOptions options;
    std::string error;
    if (!emu::host::parseHostOptions(args, options, error)) {
        std::fprintf(stderr, "setup: %s\n%s\n", error.c_str(), emu::host::hostUsage().c_str());
        return 2;
    }
    try {
        emu::boot(options.machine);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "setup: %s\n", e.what());
        return 2;
    }
    emu::shutdown();
    return 0;
}
