#include "tests/support/SectionText.h"

#include "platform/win32.h"

#include <vector>

namespace corvane_test {

std::string sectionText(const std::string& windowsPath, const char* section) {
    std::vector<char> buffer(1 << 18);
    DWORD n = GetPrivateProfileSectionA(section, buffer.data(), static_cast<DWORD>(buffer.size()),
                                        windowsPath.c_str());
    std::string lines;
    for (DWORD i = 0; i < n; ++i) {
        lines += buffer[i] == '\0' ? '|' : buffer[i];
    }
    return lines;
}

} // namespace corvane_test
