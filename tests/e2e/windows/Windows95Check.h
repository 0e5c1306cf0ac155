// What keeps an executable from starting, or from working, on Windows 95:
// the checks setup.exe must pass.
#pragma once

#include "tests/e2e/windows/PeImage.h"

#include <set>
#include <string>
#include <vector>

namespace corvane_test {

// The functions of windows95-functions.txt: "DLL Function", DLL in capitals.
std::set<std::string> readWindows95Functions(const std::string& path);

// One line per fault: a DLL that Windows 95 lacks, an import it does not
// implement (or one by ordinal), a subsystem version above 4.0, a machine
// other than i386, a string-table entry, dialog 130 or clip 132 missing.
// Empty when the image is fit.
std::vector<std::string> windows95Faults(const PeImage& image,
                                         const std::set<std::string>& functions);

} // namespace corvane_test
