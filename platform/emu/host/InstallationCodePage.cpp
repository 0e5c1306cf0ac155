#include "platform/emu/host/InstallationCodePage.h"

#include "platform/emu/host/ImageNames.h"
#include "platform/emu/hostsupport/HostTool.h"
#include "platform/emu/kernel/CodePage.h"
#include "platform/emu/kernel/CregFile.h"
#include "platform/emu/kernel/ProfileFile.h"
#include "platform/emu/kernel/RegistryFile.h"

#include <cstdio>
#include <fstream>
#include <iconv.h>
#include <optional>
#include <sstream>

namespace emu::host {

namespace {

using hostsupport::Failure;
using hostsupport::Result;

// The file at path (a Windows path below C:\, backslashes) of the volume,
// copied into scratch; nullopt when the volume has none.
std::optional<std::string> fileText(const Mtools& image, const std::string& scratch,
                                    const std::string& path) {
    std::string spelt = path;
    for (char& c : spelt) {
        c = c == '\\' ? '/' : c;
    }
    Result<std::string> utf8 = ImageNames::toToolPath(spelt, kernel::CodePage::windows1252());
    std::string copy = scratch + "/file";
    if (!utf8 || !image.run("mcopy", {"-n", ImageNames::literal(*utf8), copy})) {
        return std::nullopt;
    }
    std::ifstream in(copy, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    std::remove(copy.c_str());
    return in ? std::optional<std::string>(bytes.str()) : std::nullopt;
}

// The Windows directory below C:\: C:\MSDOS.SYS's [Paths] WinDir, else
// WINDOWS.
std::string windowsDir(const Mtools& image, const std::string& scratch) {
    if (std::optional<std::string> text = fileText(image, scratch, "MSDOS.SYS")) {
        kernel::ProfileFile file(std::move(*text));
        const kernel::ProfileFile::Section* paths = file.findSection("Paths");
        const kernel::ProfileFile::Line* line = paths ? file.findEntry(*paths, "WinDir") : nullptr;
        if (line != nullptr && line->value.size() > 3 &&
            kernel::CodePage::windows1252().equalNoCase(line->value.substr(0, 3), "C:\\")) {
            return std::string(line->value.substr(3));
        }
    }
    return "WINDOWS";
}

// The values ACP and OEMCP as the registry holds them (nullopt where it
// holds none).
struct RegistryCodePages {
    std::optional<std::string> ansi;
    std::optional<std::string> oem;
};

template <typename Hive> RegistryCodePages valuesOf(const Hive& hive) {
    const kernel::RegistryKeyPath key = {"System", "CurrentControlSet", "Control", "Nls",
                                         "CodePage"};
    if (hive.error()) {
        return {};
    }
    return {hive.stringValue(key, "ACP"), hive.stringValue(key, "OEMCP")};
}

RegistryCodePages registryValues(const Mtools& image, const std::string& scratch) {
    std::string windows = windowsDir(image, scratch);
    if (std::optional<std::string> bytes = fileText(image, scratch, windows + "\\SYSTEM.DAT")) {
        if (kernel::CregFile::hasSignature(*bytes)) {
            return valuesOf(kernel::CregFile(std::move(*bytes)));
        }
    }
    if (std::optional<std::string> text = fileText(image, scratch, windows + "\\SYSTEM.REG")) {
        return valuesOf(kernel::RegistryFile(*text));
    }
    return {};
}

// A code page number as the registry writes it ("932", blanks around it
// allowed, as the machine reads it); nullopt for anything else.
std::optional<int> number(const std::optional<std::string>& value) {
    size_t first = value ? value->find_first_not_of(' ') : std::string::npos;
    if (first == std::string::npos) {
        return std::nullopt;
    }
    std::string digits = value->substr(first, value->find_last_not_of(' ') + 1 - first);
    if (digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    return std::stoi(digits);
}

bool hostConverts(int codePage) {
    iconv_t convert = iconv_open("UTF-8", ("CP" + std::to_string(codePage)).c_str());
    if (convert == reinterpret_cast<iconv_t>(-1)) {
        return false;
    }
    iconv_close(convert);
    return true;
}

} // namespace

Result<InstallationCodePages> InstallationCodePage::of(const Mtools& image,
                                                       const std::string& scratch) {
    RegistryCodePages values = registryValues(image, scratch);
    InstallationCodePages codePages;
    if (std::optional<int> ansi = number(values.ansi);
        ansi && kernel::CodePage::isAnsiChoice(static_cast<UINT>(*ansi))) {
        codePages.ansi = kernel::CodePage::find(static_cast<UINT>(*ansi));
    }
    std::optional<int> oem = number(values.oem);
    if (!oem) {
        return codePages;
    }
    if (!hostConverts(*oem)) {
        return Failure{"the installation's registry names OEM code page " + *values.oem +
                       " (Nls\\CodePage OEMCP), which this host cannot convert; its short names "
                       "could not be read exactly"};
    }
    codePages.oem = *oem;
    return codePages;
}

} // namespace emu::host
