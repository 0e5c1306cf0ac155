// The code pages of a Windows installation, read from the installation
// itself: its registry's
// HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\Nls\CodePage values
// OEMCP, the code page of its short names ("437" in the United States, "850"
// in much of Western Europe, "932" in Japan), and ACP, its ANSI code page
// ("1252", "932"), in which the emulated machine, reading the same registry,
// spells every name. The registry is found as the machine finds it:
// SYSTEM.DAT, else SYSTEM.REG, in the Windows directory C:\MSDOS.SYS names,
// else C:\WINDOWS.
#pragma once

#include "platform/emu/host/Mtools.h"
#include "platform/emu/hostsupport/HostTool.h"
#include "platform/emu/hostsupport/Result.h"
#include "platform/emu/kernel/CodePage.h"

#include <string>

namespace emu::host {

struct InstallationCodePages {
    int oem = hostsupport::HostTool::kShortNameCodePage;
    const kernel::CodePage* ansi = &kernel::CodePage::windows1252();
};

class InstallationCodePage {
public:
    // The code pages of the installation on the volume image reads, its
    // files copied into scratch (an empty folder) with mtools, before the
    // volume's other names are read. The OEM code page is
    // HostTool::kShortNameCodePage and the ANSI code page 1252 when the
    // volume holds no installation or its registry names none; an ANSI code
    // page the emulated machine cannot run with is 1252, as the machine
    // takes it. Refused when the OEM code page is one the host cannot
    // convert, whose names could not be read exactly.
    static hostsupport::Result<InstallationCodePages> of(const Mtools& image,
                                                         const std::string& scratch);
};

} // namespace emu::host
