// The lines of one section of a profile file, read back through the emulated
// profile service, each followed by '|': "a=1|b=2|".
#pragma once

#include <string>

namespace corvane_test {

std::string sectionText(const std::string& windowsPath, const char* section);

} // namespace corvane_test
