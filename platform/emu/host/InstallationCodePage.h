// The OEM code page a Windows installation keeps its short names in, read
// from the installation itself: its registry's
// HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\Nls\CodePage value
// OEMCP ("437" in the United States, "850" in much of Western Europe). The
// registry is found as the machine finds it: SYSTEM.DAT, else SYSTEM.REG, in
// the Windows directory C:\MSDOS.SYS names, else C:\WINDOWS.
#pragma once

#include "platform/emu/host/Mtools.h"
#include "platform/emu/hostsupport/Result.h"

#include <string>

namespace emu::host {

class InstallationCodePage {
public:
    // The code page of the installation on the volume image reads, its
    // files copied into scratch (an empty folder) with mtools, before the
    // volume's other names are read; HostTool::kShortNameCodePage when the
    // volume holds no installation or its registry names none. Refused when
    // it names one the host cannot convert, whose names could not be read
    // exactly.
    static hostsupport::Result<int> of(const Mtools& image, const std::string& scratch);
};

} // namespace emu::host
