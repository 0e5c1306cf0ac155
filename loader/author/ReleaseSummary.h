// The release of Windows the machine found in its registry and the install
// sections it selects, as --dry-run and --check name them:
//   Windows 95 OSR2, service-pack text " B": sections COMMON, 950B
#pragma once

#include <string>

namespace loader::author {

// One line, without its end; the machine is booted and the application
// object exists (its release classification gives the tag).
std::string releaseSummary();

} // namespace loader::author
