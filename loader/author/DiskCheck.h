// The check of a driver disk for its author: reads the disk in the current
// directory as the program would, on the booted emulated machine, and reports
// every mistake found in layout.ini, the pictures, the fragments and the
// Windows INF files and registry of the machine's drives, down to the
// structure of the registry file (one finding per problem, with its offset).
#pragma once

#include "loader/author/CheckReport.h"

namespace loader::author {

// The machine must be booted and the program's resources registered.
CheckReport checkDisk();

} // namespace loader::author
