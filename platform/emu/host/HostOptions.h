// The host's options of the emulated machine and of how its session is
// driven: the drives, the Windows directory and registry, the version, the
// display, the input script, the trace, the clock and the restart answer.
// The host program's command line (loader/CommandLine) reads them with its
// own actions; the system itself never sees them.
#pragma once

#include "platform/emu/MachineConfig.h"
#include "platform/emu/hostsupport/OptionTable.h"

#include <string>
#include <vector>

namespace emu::host {

struct HostOptions {
    MachineConfig machine;
    std::string inputScript; // host path; empty: no script
    // --disk: the driver disk, a host folder or a disk image; empty: the
    // host's current folder.
    std::string disk;
};

// One of the machine's options, with the handler that applies its value.
using HostOptionRow = hostsupport::OptionRow<HostOptions>;

// The machine's options, in the order the help lists them.
const std::vector<HostOptionRow>& hostOptions();
// The option called name; nullptr when it is none of the machine's.
const HostOptionRow* findHostOption(const std::string& name);

// Applies option (one of hostOptions()) with its value (ignored for an
// option that takes none). false, with what is wrong with the value in why,
// for a value the option cannot take.
bool applyHostOption(const HostOptionRow& option, const std::string& value, HostOptions& options,
                     std::string& why);

} // namespace emu::host
