#include "tests/support/WindowsInstallation.h"

#include "tests/support/DoubleByteInf.h"
#include "tests/support/TempDir.h"

#include <cstdio>
#include <map>
#include <stdexcept>
#include <sys/stat.h>

namespace corvane_test {

namespace {

using Value = CregBuilder::Value;

const std::string kDemo = std::string(CORVANE_TEST_DATA) + "/../demo";

std::string crlf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n' && (out.empty() || out.back() != '\r')) {
            out += '\r';
        }
        out += c;
    }
    return out;
}

std::string trim(const std::string& text) {
    size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return "";
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// Bytes that stand for a program or system file: the same for the same
// seed, different for another.
std::string programBytes(size_t size, unsigned seed) {
    std::string bytes;
    unsigned state = seed * 2654435761u + 1;
    while (bytes.size() < size) {
        state = state * 1103515245u + 12345u;
        bytes += static_cast<char>(state >> 16);
    }
    return bytes;
}

std::string hex2(unsigned n) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", n & 0xFF);
    return text;
}

std::string hex4(unsigned n) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", n & 0xFFFF);
    return text;
}

const Value kConfigFlags = CregBuilder::binary("ConfigFlags", std::string(4, '\0'));

// One device below Enum: its key and an instance key with the values
// Windows keeps for a device it has found and set up.
struct Device {
    std::string key;      // "PCI\\VEN_5A17&DEV_7190"
    std::string instance; // "BUS_00&DEV_00&FUNC_00"
    std::string cls;      // its setup class, as in the class keys
    std::string description;
    std::string maker;
    unsigned driver; // the number of its driver key in its class
};

const char kStandardSystem[] = "(Standard system devices)";

class HiveWriter {
public:
    HiveWriter(const WindowsRelease& release, unsigned codePage)
        : m_release(release), m_codePage(codePage) {}

    CregBuilder system(const std::vector<std::string>& demoKeys) {
        CregBuilder hive;
        layAsItsRelease(hive);
        addConfig(hive);
        addEnum(hive, demoKeys);
        addHardware(hive);
        addNetwork(hive);
        addSoftware(hive);
        addSystem(hive);
        return hive;
    }

    // Windows ME keeps the file types and classes in a third hive.
    CregBuilder classes() const {
        CregBuilder hive;
        layAsItsRelease(hive);
        hive.addKey(".txt", {CregBuilder::string("", "txtfile")});
        hive.addKey(".inf", {CregBuilder::string("", "inffile")});
        hive.addKey("txtfile\\shell\\open\\command",
                    {CregBuilder::string("", "C:\\WINDOWS\\NOTEPAD.EXE %1")});
        hive.addKey("inffile\\shell\\install\\command",
                    {CregBuilder::string(
                        "", "C:\\WINDOWS\\rundll.exe setupx.dll,InstallHinfSection DefaultInstall "
                            "132 %1")});
        return hive;
    }

    CregBuilder user() const {
        CregBuilder hive;
        layAsItsRelease(hive);
        hive.addKey("AppEvents\\Schemes\\Apps\\.Default\\SystemStart\\.Current",
                    {CregBuilder::string("", "C:\\WINDOWS\\MEDIA\\The Microsoft Sound.wav")});
        hive.addKey("AppEvents\\Schemes\\Apps\\.Default\\SystemExit\\.Current",
                    {CregBuilder::string("", "")});
        hive.addKey("Control Panel\\Colors", {CregBuilder::string("ActiveTitle", "0 0 128"),
                                              CregBuilder::string("Background", "0 128 128"),
                                              CregBuilder::string("Window", "255 255 255")});
        hive.addKey("Control Panel\\Desktop", {CregBuilder::string("ScreenSaveActive", "0"),
                                               CregBuilder::string("Wallpaper", "(None)"),
                                               CregBuilder::string("TileWallpaper", "0")});
        hive.addKey("Control Panel\\International", {CregBuilder::string("Locale", "00000409")});
        hive.addKey("InstallLocationsMRU",
                    {CregBuilder::string("a", "A:\\"), CregBuilder::string("MRUList", "a")});
        hive.addKey("keyboard layout\\preload\\1", {CregBuilder::string("", "00000409")});
        hive.addKey("Network\\Persistent");
        hive.addKey("RemoteAccess", {CregBuilder::string("Default", "")});
        hive.addKey("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                    {CregBuilder::string("Desktop", "C:\\WINDOWS\\Desktop"),
                     CregBuilder::string("Personal", "C:\\My Documents"),
                     CregBuilder::string("Programs", "C:\\WINDOWS\\Start Menu\\Programs")});
        hive.addKey("Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer",
                    {CregBuilder::binary("NoDriveTypeAutoRun", std::string("\x95\0\0\0", 4))});
        return hive;
    }

private:
    // Windows' way of growing a hive: data blocks of 4 KB with at most 255
    // entries each, the key tree in chunks of 4 KB after the first 8 KB.
    // Windows 98, 98 SE and ME (4.10 and 4.90) keep their blocks' counters,
    // holes and values with habits of their own (CregHabits).
    void layAsItsRelease(CregBuilder& hive) const {
        hive.setBlockSize(0x1000);
        hive.setEntriesPerBlock(255);
        std::string version = m_release.versionNumber;
        bool later = version.rfind("4.10", 0) == 0 || version.rfind("4.90", 0) == 0;
        hive.setHabit(later ? emu::kernel::CregHabit::Windows98
                            : emu::kernel::CregHabit::Windows95);
    }

    void addConfig(CregBuilder& hive) const {
        hive.addKey("Config\\0001\\Display\\Fonts",
                    {CregBuilder::string("FIXEDFON.FON", "vgafix.fon"),
                     CregBuilder::string("FONTS.FON", "vgasys.fon")});
        hive.addKey("Config\\0001\\Display\\Settings",
                    {CregBuilder::string("Resolution", "800,600"),
                     CregBuilder::string("BitsPerPixel", "16")});
        hive.addKey("Config\\0001\\System\\CurrentControlSet\\Control\\Print\\Printers");
    }

    void addDevice(CregBuilder& hive, const Device& device) const {
        std::string id = device.key.substr(device.key.find('\\') + 1);
        hive.addKey("Enum\\" + device.key + "\\" + device.instance,
                    {CregBuilder::string("Class", device.cls),
                     CregBuilder::string("DeviceDesc", device.description),
                     CregBuilder::string("HardwareID", device.key),
                     CregBuilder::string("Mfg", device.maker),
                     CregBuilder::string("Driver", device.cls + "\\" + hex4(device.driver)),
                     kConfigFlags});
    }

    // Enum: what the bus enumerators found. Besides the devices in use it
    // keeps, as a used machine's does, the instances of cards that were
    // moved to another slot and of devices that were removed long ago.
    void addEnum(CregBuilder& hive, const std::vector<std::string>& demoKeys) const {
        hive.addKey("Enum\\HTREE\\RESERVED\\0");
        hive.addKey("Enum\\HTREE\\ROOT\\0");
        addRootAndBios(hive);
        addPci(hive, demoKeys);
        addIsa(hive);
        addDrives(hive);
        addNetworkComponents(hive);
        if (m_release.usb) {
            addUsb(hive);
        }
    }

    void addRootAndBios(CregBuilder& hive) const {
        addDevice(hive, {"Root\\*PNP0C01", "0000", "System", "System board", kStandardSystem, 0});
        for (unsigned n = 0; n < 3; ++n) {
            addDevice(hive, {"Root\\Printer", hex4(n), "Printer",
                             "Norrisk LaserRite " + std::to_string(400 + n * 100), "Norrisk", n});
        }
        addDevice(hive, {"Root\\Net", "0000", "Net", "Dial-Up Adapter", "Microsoft", 0});
        const char* const bios[][3] = {
            {"*PNP0000", "System", "Programmable interrupt controller"},
            {"*PNP0100", "System", "System timer"},
            {"*PNP0200", "System", "Direct memory access controller"},
            {"*PNP0303", "Keyboard", "Standard 101/102-Key or Natural Keyboard"},
            {"*PNP0400", "Ports", "Printer Port (LPT1)"},
            {"*PNP0501", "Ports", "Communications Port (COM1)"},
            {"*PNP0700", "fdc", "Standard Floppy Disk Controller"},
            {"*PNP0800", "System", "System speaker"},
            {"*PNP0A03", "System", "PCI bus"},
            {"*PNP0B00", "System", "System CMOS/real time clock"},
            {"*PNP0C02", "System", "Motherboard resources"},
            {"*PNP0C04", "System", "Numeric data processor"},
            {"*PNP0F13", "Mouse", "Standard PS/2 Port Mouse"},
        };
        unsigned number = 1;
        for (const auto& device : bios) {
            addDevice(hive, {std::string("BIOS\\") + device[0], hex2(number + 0x0B), device[1],
                             device[2], kStandardSystem, number});
            ++number;
        }
        addDevice(hive, {"BIOS\\*PNP0501", hex2(0x20), "Ports", "Communications Port (COM2)",
                         "(Standard port types)", 2});
    }

    void addPci(CregBuilder& hive, const std::vector<std::string>& demoKeys) const {
        // The chipset: the demo disk's devices, each at its function of the
        // bridge's slot, and the host bridge.
        unsigned function = 0;
        for (const std::string& key : demoKeys) {
            addDevice(hive, {key, "BUS_00&DEV_07&FUNC_0" + std::to_string(function), "System",
                             "PCI standard device", kStandardSystem, 20 + function});
            ++function;
        }
        addDevice(hive, {"PCI\\VEN_5A17&DEV_7190", "BUS_00&DEV_00&FUNC_00", "System",
                         "PCI standard host CPU bridge", kStandardSystem, 30});

        // Cards of made-up makers, each also seen in the slots it sat in
        // before.
        const char* const cards[][5] = {
            {"3D1C", "0A20", "Display", "Vexal V2200 AGP", "Vexal"},
            {"3D1C", "0A21", "Display", "Vexal V2200 Pro AGP", "Vexal"},
            {"6B02", "0911", "Net", "Ardelle AR-220 PCI Ethernet Adapter", "Ardelle"},
            {"6B02", "0912", "Net", "Ardelle AR-230 PCI Ethernet Adapter", "Ardelle"},
            {"4C35", "0104", "MEDIA", "Norrisk SoundWave 64", "Norrisk"},
            {"4C35", "0105", "MEDIA", "Norrisk SoundWave 64 Gameport", "Norrisk"},
            {"2E91", "3300", "Modem", "Tolvane 56K PCI Modem", "Tolvane"},
            {"2E91", "3301", "Ports", "Tolvane PCI Serial Port", "Tolvane"},
            {"7C4A", "1010", "SCSIAdapter", "Brisk BR-2940 PCI SCSI Controller", "Brisk"},
            {"7C4A", "1011", "SCSIAdapter", "Brisk BR-2940U PCI SCSI Controller", "Brisk"},
        };
        unsigned slot = 8;
        for (const auto& card : cards) {
            for (unsigned move = 0; move < 10; ++move) {
                std::string key = std::string("PCI\\VEN_") + card[0] + "&DEV_" + card[1];
                addDevice(hive, {key, "BUS_00&DEV_" + hex2(slot + move) + "&FUNC_00", card[2],
                                 card[3], card[4], move});
            }
            ++slot;
        }
    }

    void addIsa(CregBuilder& hive) const {
        // An old ISA card's device, deleted when it was taken out.
        hive.addGap(96);
        const char* const isa[][4] = {
            {"ZVN2001", "MEDIA", "Zevon AudioMaster 16", "Zevon"},
            {"ZVN2002", "MEDIA", "Zevon AudioMaster 16 MPU-401", "Zevon"},
            {"ZVN2003", "MEDIA", "Zevon AudioMaster 16 Gameport", "Zevon"},
            {"KTL0130", "Modem", "Kestel ISA PnP Modem", "Kestel"},
            {"KTL0131", "Ports", "Kestel ISA Serial Port", "Kestel"},
        };
        addDevice(hive,
                  {"ISAPNP\\READDATAPORT", "0", "System",
                   "IO read data port for ISA Plug and Play enumerator", kStandardSystem, 40});
        unsigned serial = 0x10A4C3;
        for (const auto& card : isa) {
            for (unsigned copy = 0; copy < 6; ++copy) {
                addDevice(hive, {std::string("ISAPNP\\") + card[0] + "\\" + hex4(serial + copy),
                                 "DEV0000", card[1], card[2], card[3], copy});
            }
        }
    }

    void addDrives(CregBuilder& hive) const {
        addDevice(hive, {"ESDI\\GENERIC_IDE__DISK_TYPE47_",
                         "MF&CHILD0000&PCI&VEN_5A17&DEV_7111&BUS_00&DEV_07&FUNC_01", "DiskDrive",
                         "GENERIC IDE  DISK TYPE47", "(Standard disk drives)", 0});
        addDevice(hive, {"ESDI\\GENERIC_IDE__DISK_TYPE46_",
                         "MF&CHILD0001&PCI&VEN_5A17&DEV_7111&BUS_00&DEV_07&FUNC_01", "DiskDrive",
                         "GENERIC IDE  DISK TYPE46", "(Standard disk drives)", 1});
        addDevice(hive, {"FLOP\\GENERIC_NEC__FLOPPY_DISK_", "BIOS&*PNP0700&0C", "DiskDrive",
                         "GENERIC NEC  FLOPPY DISK", "(Standard disk drives)", 2});
        addDevice(hive, {"SCSI\\VEXAL___CDR-24__________",
                         "MF&CHILD0002&PCI&VEN_5A17&DEV_7111&BUS_00&DEV_07&FUNC_01", "CDROM",
                         "VEXAL CDR-24", "(Standard CD-ROM drives)", 0});
        for (unsigned n = 0; n < 4; ++n) {
            addDevice(hive, {"MONITOR\\DEFAULT_MONITOR", hex4(n + 1), "Monitor", "Default Monitor",
                             "(Standard monitor types)", n});
        }
    }

    void addNetworkComponents(CregBuilder& hive) const {
        const char* const network[][3] = {
            {"MSTCP", "NetTrans", "TCP/IP"},
            {"NETBEUI", "NetTrans", "NetBEUI"},
            {"NWLINK", "NetTrans", "IPX/SPX-compatible Protocol"},
            {"VREDIR", "NetClient", "Client for Microsoft Networks"},
            {"VSERVER", "NetService", "File and printer sharing for Microsoft Networks"},
        };
        for (const auto& component : network) {
            for (unsigned n = 0; n < 3; ++n) {
                std::string key = std::string("Network\\") + component[0];
                addDevice(hive, {key, hex4(n), component[1], component[2], "Microsoft", n});
                hive.addKey("Enum\\" + key + "\\" + hex4(n) + "\\Bindings",
                            {CregBuilder::string("VREDIR\\" + hex4(n), "")});
            }
        }
    }

    void addUsb(CregBuilder& hive) const {
        std::string host = "PCI&VEN_5A17&DEV_7112&BUS_00&DEV_07&FUNC_02";
        addDevice(hive, {"USB\\ROOT_HUB", host, "USB", "USB Root Hub",
                         "(Standard USB Host Controller)", 1});
        addDevice(hive, {"USB\\VID_1A2B&PID_0001", "0000000000001", "HID",
                         "USB Human Interface Device", kStandardSystem, 0});
    }

    void addHardware(CregBuilder& hive) const {
        hive.addKey("hardware\\DESCRIPTION\\System\\FloatingPointProcessor\\0");
        hive.addKey("hardware\\devicemap\\serialcomm",
                    {CregBuilder::string("COM1", "COM1"), CregBuilder::string("COM2", "COM2")});
    }

    void addNetwork(CregBuilder& hive) const {
        hive.addKey("Network\\Logon",
                    {CregBuilder::string("username", "OWNER"), CregBuilder::dword("LMLogon", 0)});
    }

    void addSoftware(CregBuilder& hive) const {
        hive.addKey("SOFTWARE\\Classes\\.txt", {CregBuilder::string("", "txtfile")});
        hive.addKey("SOFTWARE\\Classes\\txtfile\\shell\\open\\command",
                    {CregBuilder::string("", "C:\\WINDOWS\\NOTEPAD.EXE %1")});
        const std::string current = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
        hive.addKey(current,
                    {CregBuilder::string("SystemRoot", "C:\\WINDOWS"),
                     CregBuilder::string("ProductName", m_release.productName),
                     CregBuilder::string("Version", m_release.version),
                     CregBuilder::string("VersionNumber", m_release.versionNumber),
                     CregBuilder::string("SubVersionNumber", m_release.subVersionNumber),
                     CregBuilder::string("ProductId", "24796-OEM-0014736-66386"),
                     CregBuilder::string("RegisteredOwner", "Owner"),
                     CregBuilder::string("RegisteredOrganization", ""),
                     CregBuilder::string("DevicePath", "C:\\WINDOWS\\INF"),
                     CregBuilder::string("MediaPath", "C:\\WINDOWS\\MEDIA"),
                     CregBuilder::string("ProgramFilesDir", "C:\\Program Files"),
                     CregBuilder::string("CommonFilesDir", "C:\\Program Files\\Common Files"),
                     CregBuilder::string("BootCount", "37")});
        hive.addKey(current + "\\App Paths\\WORDPAD.EXE",
                    {CregBuilder::string("", "C:\\Program Files\\Accessories\\WORDPAD.EXE")});
        hive.addKey(current + "\\Run", {CregBuilder::string("SystemTray", "SysTray.Exe")});
        hive.addKey(current + "\\RunServices");
        hive.addKey(current + "\\Setup", {CregBuilder::string("SourcePath", "D:\\WIN95\\"),
                                          CregBuilder::string("BootDir", "C:\\")});
        hive.addKey(
            current + "\\Uninstall\\ArdelleNet",
            {CregBuilder::string("DisplayName", "Ardelle network tools"),
             CregBuilder::string("UninstallString", "C:\\Program Files\\Ardelle\\UNINST.EXE")});
    }

    void addSystem(CregBuilder& hive) const {
        const std::string classes = "System\\CurrentControlSet\\Services\\Class";
        const char* const loaders[][2] = {
            {"System", "*CONFIGMG"}, {"hdc", "*IOS"},      {"USB", "*ntkern"},
            {"Display", "*vdd"},     {"Net", "*ndis"},     {"MEDIA", "mmdevldr.vxd"},
            {"Ports", "*vcomm"},     {"Modem", "*vcomm"},  {"SCSIAdapter", "*IOS"},
            {"Keyboard", "*vkd"},    {"Mouse", "*vmouse"}, {"fdc", "*IOS"},
        };
        for (const auto& cls : loaders) {
            hive.addKey(classes + "\\" + cls[0], {CregBuilder::string("", cls[0])});
            for (unsigned n = 0; n < 3; ++n) {
                hive.addKey(classes + "\\" + cls[0] + "\\" + hex4(n),
                            {CregBuilder::string("DevLoader", cls[1]),
                             CregBuilder::string("DriverDate", " 7-11-1995")});
            }
        }
        hive.addKey("System\\CurrentControlSet\\control\\ComputerName\\ComputerName",
                    {CregBuilder::string("ComputerName", "OFFICE")});
        hive.addKey("System\\CurrentControlSet\\control\\SessionManager\\KnownDLLs",
                    {CregBuilder::string("kernel32", "kernel32.dll"),
                     CregBuilder::string("user32", "user32.dll")});
        hive.addKey("System\\CurrentControlSet\\Services\\VxD\\IOS",
                    {CregBuilder::string("StaticVxD", "")});
        if (m_codePage != 1252) {
            // The localised editions: one double-byte code page for both.
            std::string number = std::to_string(m_codePage);
            hive.addKey("System\\CurrentControlSet\\Control\\Nls\\CodePage",
                        {CregBuilder::string("ACP", number), CregBuilder::string("OEMCP", number)});
        }
    }

    WindowsRelease m_release;
    unsigned m_codePage;
};

// The device keys the demo disk re-detects: its ControlFlags and USB
// ControlFlags sections, as Enum paths.
std::vector<std::string> demoDeviceKeys() {
    std::string layout = readHostFile(kDemo + "/disk/layout.ini");
    std::vector<std::string> keys;
    for (const char* section : {"ControlFlags", "USB ControlFlags"}) {
        for (const std::string& line : iniSection(layout, section)) {
            keys.push_back(line.substr(0, line.find('=')));
        }
    }
    return keys;
}

std::string msdosSys(const WindowsRelease& release) {
    std::string text = "[Paths]\n"
                       "WinDir=C:\\WINDOWS\n"
                       "WinBootDir=C:\\WINDOWS\n"
                       "HostWinBootDrv=C\n"
                       "\n"
                       "[Options]\n"
                       "BootMulti=1\n"
                       "BootGUI=1\n"
                       "DoubleBuffer=1\n"
                       "Network=1\n";
    if (release.fat32) {
        text += "AutoScan=1\n";
        text += std::string("WinVer=") + release.versionNumber + "\n";
    }
    // Programs of the day read the file expecting more than 1024 bytes;
    // Windows pads it with comment lines.
    text += ";\n;Padding: programs that read this file expect it to be longer than 1024 "
            "bytes.\n";
    while (text.size() <= 1024) {
        text += ";" + std::string(68, 'x') + "\n";
    }
    return crlf(text);
}

std::string oemInf() {
    return crlf("; Ardelle AR-220 network adapter, copied here by Windows from the maker's "
                "disk\n"
                "[Version]\n"
                "Signature=\"$CHICAGO$\"\n"
                "Class=Net\n"
                "Provider=%Ardelle%\n"
                "\n"
                "[Manufacturer]\n"
                "%Ardelle%=Ardelle\n"
                "\n"
                "[Ardelle]\n"
                "%AR220.DeviceDesc%=AR220.ndi,PCI\\VEN_6B02&DEV_0911\n"
                "\n"
                "[AR220.ndi]\n"
                "AddReg=AR220.reg\n"
                "\n"
                "[AR220.reg]\n"
                "HKR,Ndi,DeviceID,,\"PCI\\VEN_6B02&DEV_0911\"\n"
                "\n"
                "[Strings]\n"
                "Ardelle=\"Ardelle\"\n"
                "AR220.DeviceDesc=\"Ardelle AR-220 PCI Ethernet Adapter\"\n");
}

std::string keyboardInf() {
    return crlf("; KEYBOARD.INF -- keyboards\n"
                "[Version]\n"
                "Signature=\"$CHICAGO$\"\n"
                "Class=Keyboard\n"
                "\n"
                "[Manufacturer]\n"
                "%Std%=Std_Keyboard\n"
                "\n"
                "[Std_Keyboard]\n"
                "%*PNP0303.DeviceDesc%=KBD_inst,*PNP0303\n"
                "\n"
                "[Strings]\n"
                "Std=\"(Standard keyboards)\"\n"
                "*PNP0303.DeviceDesc=\"Standard 101/102-Key or Natural Keyboard\"\n");
}

std::string monitorInf() {
    return crlf("; MONITOR.INF -- monitors\n"
                "[Version]\n"
                "Signature=\"$CHICAGO$\"\n"
                "Class=Monitor\n"
                "\n"
                "[Manufacturer]\n"
                "%Std%=Std_Monitor\n"
                "\n"
                "[Std_Monitor]\n"
                "%DefaultMonitor%=Unknown.Install,Monitor\\Default_Monitor\n"
                "\n"
                "[Strings]\n"
                "Std=\"(Standard monitor types)\"\n"
                "DefaultMonitor=\"Default Monitor\"\n");
}

} // namespace

const char* const WindowsInstallation::kSystemDat = "WINDOWS/SYSTEM.DAT";
const char* const WindowsInstallation::kNonAsciiFile = "My Documents/R\xC3\xA9sum\xC3\xA9.txt";

const std::vector<WindowsRelease>& windowsReleases() {
    static const std::vector<WindowsRelease> releases = {
        {"Windows 95", "4.00.950", "", "Microsoft Windows 95", "Windows 95", false, false},
        {"Windows 95 OSR1", "4.00.950", " A ", "Microsoft Windows 95", "Windows 95", false, false},
        {"Windows 95 OSR2", "4.00.1111", " B", "Microsoft Windows 95", "Windows 95", true, false},
        {"Windows 95 OSR2.5", "4.00.1111", " C", "Microsoft Windows 95", "Windows 95", true, true},
        {"Windows 98", "4.10.1998", "", "Microsoft Windows 98", "Windows 98", true, true},
        {"Windows 98 SE", "4.10.2222", " A ", "Microsoft Windows 98", "Windows 98", true, true},
        {"Windows ME", "4.90.3000", "", "Microsoft Windows ME", "Windows Millennium Edition", true,
         true},
    };
    return releases;
}

const WindowsRelease& windowsRelease(const std::string& name) {
    for (const WindowsRelease& release : windowsReleases()) {
        if (name == release.name) {
            return release;
        }
    }
    throw std::invalid_argument("no release " + name);
}

std::vector<std::string> iniSection(const std::string& text, const std::string& section) {
    std::vector<std::string> lines;
    bool inside = false;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        std::string line = trim(text.substr(start, end - start));
        start = end == std::string::npos ? text.size() : end + 1;
        if (line.empty() || line[0] == ';') {
            continue;
        }
        if (line[0] == '[') {
            inside = line == "[" + section + "]";
        } else if (inside) {
            lines.push_back(line);
        }
    }
    return lines;
}

namespace {

// The base of the double-byte short name of each edition: "ソフト",
// "软億乗", "한글", "功能".
const std::map<unsigned, std::string> kDoubleByteBases = {
    {932, "\x83\x5C\x83\x74\x83\x67"},
    {936, "\xC8\xED\x83\x7C\x81\x5C"},
    {949, "\xC7\xD1\xB1\xDB"},
    {950, "\xA5\x5C\xAF\xE0"},
};

// The name the double-byte file goes into an image with, before its
// directory entry is given its real name.
const char kPlaceholder[] = "DBCSNAME.TXT";

} // namespace

WindowsInstallation::WindowsInstallation(const WindowsRelease& release, unsigned codePage)
    : m_release(release), m_codePage(codePage) {
    if (codePage != 1252 && kDoubleByteBases.count(codePage) == 0) {
        throw std::invalid_argument("no edition of code page " + std::to_string(codePage));
    }
    HiveWriter writer(release, codePage);
    m_system = writer.system(demoDeviceKeys());
    m_user = writer.user();
}

std::vector<WindowsInstallation::File> WindowsInstallation::files() const {
    std::string system = m_system.build();
    std::string user = m_user.build();
    std::vector<File> files = {
        {"IO.SYS", programBytes(40 * 1024, 1), true},
        {"MSDOS.SYS", msdosSys(m_release), true},
        {"COMMAND.COM", programBytes(24 * 1024, 2), false},
        {"CONFIG.SYS", crlf("DEVICE=C:\\WINDOWS\\HIMEM.SYS\n"), false},
        {"AUTOEXEC.BAT", crlf("SET TEMP=C:\\WINDOWS\\TEMP\n"), false},
        {"WINDOWS/SYSTEM.DAT", system, true},
        {"WINDOWS/SYSTEM.DA0", system, true},
        {"WINDOWS/USER.DAT", user, true},
        {"WINDOWS/USER.DA0", user, true},
    };
    if (std::string(m_release.versionNumber).rfind("4.90", 0) == 0) {
        files.push_back(
            {"WINDOWS/CLASSES.DAT", HiveWriter(m_release, m_codePage).classes().build(), true});
    }
    std::vector<File> more = {
        {"WINDOWS/WIN.INI", crlf("[windows]\nload=\nrun=\n\n[Desktop]\nWallpaper=(None)\n"), false},
        {"WINDOWS/SYSTEM.INI", crlf("[boot]\nshell=Explorer.exe\n\n[386Enh]\nmouse=*vmouse\n"),
         false},
        {"WINDOWS/HIMEM.SYS", programBytes(8 * 1024, 3), false},
        {"WINDOWS/SYSTEM/VMM32.VXD", programBytes(32 * 1024, 4), false},
        {"WINDOWS/INF/KEYBOARD.INF", keyboardInf(), false},
        {"WINDOWS/INF/MONITOR.INF", monitorInf(), false},
        {"WINDOWS/INF/OTHER/ArdelleAR220.INF", oemInf(), false},
        {"WINDOWS/INF/OEM0.INF", crlf("[Version]\nSignature=\"$CHICAGO$\"\nClass=Printer\n"),
         false},
        {"Program Files/Accessories/WORDPAD.EXE", programBytes(16 * 1024, 5), false},
        {"Program Files/Ardelle/UNINST.EXE", programBytes(12 * 1024, 6), false},
        {nonAsciiFile(), crlf("Curriculum vitae, draft of 3 March\n"), false},
    };
    files.insert(files.end(), more.begin(), more.end());
    // The INF files the demo disk merges into, as this release ships them.
    for (const char* name : {"MSHDC.INF", "MACHINE.INF", "USB.INF"}) {
        if (std::string(name) != "USB.INF" || m_release.usb) {
            files.push_back({std::string("WINDOWS/INF/") + name,
                             crlf(readHostFile(kDemo + "/c/WINDOWS/INF/" + name)), false});
        }
    }
    if (m_codePage != 1252) {
        for (File& file : files) {
            if (file.path == "WINDOWS/INF/MSHDC.INF") {
                file.bytes = doubleByteInf(m_codePage).target;
            }
        }
        const std::string& base = kDoubleByteBases.at(m_codePage);
        files.push_back(
            {doubleByteFile(), crlf("; " + base + "\n[Version]\nClass=" + base + "\n"), false});
    }
    return files;
}

std::string WindowsInstallation::nonAsciiFile() const {
    // A résumé, as each edition's user would name it.
    static const std::map<unsigned, std::string> names = {
        {1252, kNonAsciiFile},
        {932, "My Documents/\xE5\xB1\xA5\xE6\xAD\xB4\xE6\x9B\xB8 \xE7\xAC\xAC"
              "2\xE7\x89\x88.txt"},
        {936, "My Documents/\xE7\xAE\x80\xE5\x8E\x86 \xE8\x8D\x89\xE7\xA8\xBF.txt"},
        {949, "My Documents/\xEC\x9D\xB4\xEB\xA0\xA5\xEC\x84\x9C \xEC\xB4\x88\xEC\x95\x88.txt"},
        {950, "My Documents/\xE5\xB1\xA5\xE6\xAD\xB7 \xE8\x8D\x89\xE7\xA8\xBF.txt"},
    };
    return names.at(m_codePage);
}

std::string WindowsInstallation::doubleByteFile() const {
    return m_codePage == 1252 ? "" : "WINDOWS/INF/" + kDoubleByteBases.at(m_codePage) + ".TXT";
}

std::string WindowsInstallation::doubleByteShortName() const {
    if (m_codePage == 1252) {
        return "";
    }
    std::string base = kDoubleByteBases.at(m_codePage);
    return base + std::string(8 - base.size(), ' ') + "TXT";
}

std::vector<std::string> WindowsInstallation::emptyFolders() const {
    return {"Program Files/Common Files", "WINDOWS/TEMP"};
}

std::vector<std::string> WindowsInstallation::infFiles() const {
    std::vector<std::string> paths;
    for (const File& file : files()) {
        if (file.path.rfind("WINDOWS/INF/", 0) == 0) {
            paths.push_back(file.path);
        }
    }
    return paths;
}

void WindowsInstallation::writeFolder(const std::string& root) const {
    for (const File& file : files()) {
        std::string host = root + "/" + file.path;
        writeHostFile(host, file.bytes);
        if (file.protectedFile && chmod(host.c_str(), 0444) != 0) {
            throw std::runtime_error("cannot make " + host + " read-only");
        }
    }
    for (const std::string& folder : emptyFolders()) {
        runTool({"mkdir", "-p", root + "/" + folder});
    }
}

FatImage WindowsInstallation::writeImage(const std::string& path) const {
    // The tree goes in with the tools' C locale; the file whose name holds a
    // character outside ASCII goes in on its own, so that its long name is
    // kept as Windows would keep it.
    TempDir staging;
    std::string tree = staging / "c";
    writeFolder(tree);
    std::string nonAscii = tree + "/" + nonAsciiFile();
    std::remove(nonAscii.c_str());
    // The double-byte file goes in under a placeholder, and its directory
    // entry is then given the name as Windows writes it, which mtools
    // cannot.
    std::string doubleByte = tree + "/" + doubleByteFile();
    std::string placeholder = tree + "/WINDOWS/INF/" + kPlaceholder;
    if (m_codePage != 1252 && std::rename(doubleByte.c_str(), placeholder.c_str()) != 0) {
        throw std::runtime_error("cannot rename " + doubleByte);
    }
    FatImage image =
        FatImage::make(m_release.fat32 ? ImageKind::Fat32Disk : ImageKind::Fat16Disk, path, tree);
    if (m_codePage != 1252) {
        image.setShortName("DBCSNAMETXT", doubleByteShortName());
    }
    for (const File& file : files()) {
        if (file.path == nonAsciiFile()) {
            image.addFile(file.path, file.bytes);
        }
        if (file.protectedFile) {
            image.setAttributes(file.path, {"+h", "+s", "+r"});
        }
    }
    return image;
}

} // namespace corvane_test
