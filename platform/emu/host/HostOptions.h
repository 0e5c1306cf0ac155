// The command line of the host program: what the emulated machine looks like
// and how the session is driven. The system itself never sees it.
#pragma once

#include "platform/emu/Machine.h"

#include <string>
#include <vector>

namespace emu::host {

struct HostOptions {
    MachineConfig machine;
    std::string inputScript; // host path; empty: no script
};

// Parses argv[1..]. On a bad option returns false and puts a one-line
// explanation into error.
bool parseHostOptions(const std::vector<std::string>& args, HostOptions& options,
                      std::string& error);

std::string hostUsage();

} // namespace emu::host
