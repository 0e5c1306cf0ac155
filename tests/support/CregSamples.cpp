#include "tests/support/CregSamples.h"

namespace corvane_test {

CregBuilder cregSampleHive(emu::kernel::CregHabit habit) {
    CregBuilder hive;
    hive.setHabit(habit);
    hive.setBlockSize(0x200);
    hive.addKey("Config\\0001\\Display", {CregBuilder::string("Resolution", "800,600")});
    hive.addKey("Enum");
    hive.addKey("Enum\\PCI");
    hive.addKey("Enum\\PCI\\VEN_7E57&DEV_2301");
    hive.addKey("Enum\\PCI\\VEN_7E57&DEV_2301\\BUS_00&DEV_07&FUNC_01",
                {CregBuilder::string("Class", "hdc"),
                 CregBuilder::string("DeviceDesc", "Plain PCI disk controller"),
                 CregBuilder::binary("ConfigFlags", std::string("\0\0\0\0", 4)),
                 CregBuilder::dword("Count", 26)});
    hive.addGap(60);
    hive.addKey("Enum\\PCI\\VEN_7E57&DEV_2302");
    hive.addKey("Enum\\PCI\\VEN_7E57&DEV_2302\\BUS_00&DEV_00&FUNC_00",
                {CregBuilder::string("Class", "System"), CregBuilder::string("", "default")});
    hive.addKey("Enum\\PCI\\VEN_7E57&DEV_2302\\BUS_00&DEV_00&FUNC_00\\Child\\Grandchild",
                {CregBuilder::binary("Empty", "")});
    hive.addKey("Enum\\PCI\\VEN_7E57&DEV_23021", {CregBuilder::string("Class", "Longer name")});
    hive.addKey("Enum\\PCI\\ven_7e57&dev_2303", {CregBuilder::string("Class", "USB")});
    hive.addKey("Enum\\PCI\\VEN_7E57&DEV_2310\\BUS_00&DEV_0A&FUNC_00",
                {CregBuilder::string("Class", "Net")});
    hive.addKey("Enum\\ROOT\\PRINTER\\0000", {CregBuilder::string("Class", "Printer")});
    hive.addKey("Enum\\ROOT\\Printer\\0001", {CregBuilder::string("Class", "Second printer")});
    hive.addKey("System\\CurrentControlSet\\Services\\Class\\hdc\\0000",
                {CregBuilder::string("DriverDesc", "Plain PCI disk controller"),
                 CregBuilder::binary("Bits", std::string("\x01\x80\xff", 3))});
    return hive;
}

CregBuilder cregLargeHive(size_t bytes) {
    CregBuilder hive;
    hive.addKey("Enum\\ROOT");
    // Each device below takes about 215 bytes of data and 56 of key tree.
    size_t devices = bytes / 270;
    for (size_t i = 0; i < devices; ++i) {
        std::string key = "Enum\\ROOT\\QTR" + std::to_string(i);
        hive.addKey(key, {CregBuilder::string("Class", "System")});
        hive.addKey(
            key + "\\0000",
            {CregBuilder::string("DeviceDesc", "Quentor system device " + std::to_string(i)),
             CregBuilder::string("HardwareID", "ROOT\\QTR" + std::to_string(i)),
             CregBuilder::binary("ConfigFlags", std::string(4, '\0')),
             CregBuilder::dword("Count", static_cast<uint32_t>(i))});
    }
    return hive;
}

CregBuilder cregGrownHive(size_t keys, emu::kernel::CregHabit habit) {
    CregBuilder hive;
    hive.setHabit(habit);
    const uint32_t gapEvery = habit == emu::kernel::CregHabit::Windows98 ? 12 : 40;
    hive.setBlockSize(0xA000);
    uint32_t state = 0x5A17;
    auto next = [&state](uint32_t range) {
        state = state * 1103515245u + 12345u;
        return (state >> 16) % range;
    };
    static const char* const kBuses[] = {"PCI", "ROOT", "ISAPNP", "BIOS", "MONITOR", "SCSI"};
    static const char* const kClasses[] = {"hdc", "System", "USB", "Net", "Display", "Media"};
    size_t serial = 0;
    // The device keys the demo disk deletes sit among the first keys, as
    // Windows' setup makes them early.
    hive.addKey("Enum\\PCI\\VEN_7E57&DEV_2301\\BUS_00&DEV_07&FUNC_01",
                {CregBuilder::string("Class", "hdc"),
                 CregBuilder::string("DeviceDesc", "Plain PCI disk controller"),
                 CregBuilder::string("Driver", "hdc\\0000")});
    hive.addKey("Enum\\PCI\\VEN_7E57&DEV_2302\\BUS_00&DEV_00&FUNC_00",
                {CregBuilder::string("Class", "System")});
    hive.addKey("Enum\\PCI\\VEN_7E57&DEV_23FF\\BUS_00&DEV_07&FUNC_03",
                {CregBuilder::string("Class", "System")});
    hive.addKey("Enum\\PCI\\VEN_7E57&DEV_2303\\BUS_00&DEV_07&FUNC_02",
                {CregBuilder::string("Class", "USB"), CregBuilder::dword("Capabilities", 0x14)});
    while (hive.keyCount() < keys) {
        ++serial;
        std::string number = std::to_string(serial);
        switch (next(4)) {
        case 0: {
            std::string bus = kBuses[next(6)];
            std::string device = bus + "_" + std::to_string(next(120));
            std::string key = "Enum\\" + bus + "\\" + device + "\\" + std::to_string(next(8));
            hive.addKey(key, {CregBuilder::string("Class", kClasses[next(6)]),
                              CregBuilder::string("DeviceDesc", "Plain device " + number),
                              CregBuilder::string("HardwareID", bus + "\\" + device),
                              CregBuilder::binary("ConfigFlags", std::string(4, '\0')),
                              CregBuilder::dword("Count", serial)});
            hive.addKey(
                key + "\\LogConfig",
                {CregBuilder::binary("BasicLogConfig0000", std::string(16 + next(120), '\x11'))});
            break;
        }
        case 1:
            hive.addKey("System\\CurrentControlSet\\Services\\Class\\" +
                            std::string(kClasses[next(6)]) + "\\" + std::to_string(next(60)),
                        {CregBuilder::string("DriverDesc", "Plain driver " + number),
                         CregBuilder::string("InfPath", "OEM" + std::to_string(next(90)) + ".INF"),
                         CregBuilder::dword("DevLoader", next(3))});
            break;
        case 2:
            hive.addKey("Software\\Maker" + std::to_string(next(40)) + "\\Product" +
                            std::to_string(next(30)) + "\\Settings" + number,
                        {CregBuilder::string("", "default " + number),
                         CregBuilder::string("Path", "C:\\PROGRA~1\\TOOL" + number)});
            break;
        default:
            hive.addKey("Config\\000" + std::to_string(next(3)) + "\\Display\\Fonts" +
                        std::to_string(serial / 64) + "\\" + number);
            break;
        }
        if (next(gapEvery) == 0) {
            hive.addGap(20 + next(300));
        }
    }
    return hive;
}

CregBuilder cregInstallDriveHive() {
    CregBuilder hive;
    hive.addKey("Config\\0001\\Display\\Settings", {CregBuilder::string("Resolution", "800,600"),
                                                    CregBuilder::string("BitsPerPixel", "16")});
    hive.addKey("Enum\\PCI\\VEN_7E57&DEV_2301\\BUS_00&DEV_07&FUNC_01",
                {CregBuilder::string("Class", "hdc"),
                 CregBuilder::string("DeviceDesc", "Plain PCI disk controller"),
                 CregBuilder::string("Driver", "hdc\\0000"),
                 CregBuilder::binary("ConfigFlags", std::string(4, '\0'))});
    hive.addKey("Enum\\PCI\\VEN_7E57&DEV_2302\\BUS_00&DEV_00&FUNC_00",
                {CregBuilder::string("Class", "System"),
                 CregBuilder::string("DeviceDesc", "Plain host bridge")});
    hive.addKey("Enum\\PCI\\VEN_7E57&DEV_23FF\\BUS_00&DEV_07&FUNC_03",
                {CregBuilder::string("Class", "System"),
                 CregBuilder::string("DeviceDesc", "Plain power management controller")});
    hive.addGap(48);
    hive.addKey("Enum\\PCI\\VEN_7E57&DEV_2303\\BUS_00&DEV_07&FUNC_02",
                {CregBuilder::string("Class", "USB"),
                 CregBuilder::string("DeviceDesc", "Plain USB host controller"),
                 CregBuilder::dword("Capabilities", 0x14)});
    hive.addKey("Enum\\PCI\\VEN_7E57&DEV_2310\\BUS_00&DEV_0A&FUNC_00",
                {CregBuilder::string("Class", "Net"),
                 CregBuilder::string("DeviceDesc", "Plain network adapter")});
    hive.addKey("Enum\\ROOT\\PRINTER\\0000", {CregBuilder::string("Class", "Printer")});
    hive.addKey("System\\CurrentControlSet\\Services\\Class\\hdc\\0000",
                {CregBuilder::string("DriverDesc", "Plain PCI disk controller"),
                 CregBuilder::dword("DevLoader", 1)});
    return hive;
}

CregBuilder cregDemoHive() {
    CregBuilder hive;
    hive.addKey("Enum\\PCI\\VEN_5A17&DEV_7110\\BUS_00&DEV_07&FUNC_00",
                {CregBuilder::string("Class", "System"),
                 CregBuilder::string("DeviceDesc", "PCI standard ISA bridge"),
                 CregBuilder::string("HardwareID", "PCI\\VEN_5A17&DEV_7110&SUBSYS_00000000&REV_02,"
                                                   "PCI\\VEN_5A17&DEV_7110"),
                 CregBuilder::binary("ConfigFlags", std::string(4, '\0'))});
    hive.addKey("Enum\\PCI\\VEN_5A17&DEV_7111\\BUS_00&DEV_07&FUNC_01",
                {CregBuilder::string("Class", "hdc"),
                 CregBuilder::string("DeviceDesc", "Standard Dual PCI IDE Controller"),
                 CregBuilder::string("Driver", "hdc\\0001")});
    hive.addKey(
        "Enum\\PCI\\VEN_5A17&DEV_7112\\BUS_00&DEV_07&FUNC_02",
        {CregBuilder::string("Class", "USB"),
         CregBuilder::string("DeviceDesc", "Standard Universal PCI to USB Host Controller")});
    hive.addKey("Enum\\PCI\\VEN_5A17&DEV_7113\\BUS_00&DEV_07&FUNC_03",
                {CregBuilder::string("Class", "System"),
                 CregBuilder::string("DeviceDesc", "PCI standard bridge")});
    hive.addKey("Enum\\ROOT\\PRINTER\\0000",
                {CregBuilder::string("Class", "Printer"),
                 CregBuilder::string("DeviceDesc", "Generic / Text Only")});
    hive.addKey("Software");
    return hive;
}

std::vector<std::pair<std::string, std::string>> cregFuzzSeeds() {
    using emu::kernel::CregHabit;
    CregBuilder empty;
    CregBuilder deep;
    deep.addKey("A\\B\\C\\D\\E\\F\\G\\H", {CregBuilder::dword("Depth", 8)});
    deep.addKey("a\\b", {CregBuilder::string("", "same name, other case")});
    CregBuilder grown98 = cregGrownHive(40, CregHabit::Windows98);
    grown98.setBlockSize(0x400);
    return {{"sample.dat", cregSampleHive().build()},
            {"empty.dat", empty.build()},
            {"deep.dat", deep.build()},
            {"devices.dat", cregLargeHive(6000).build()},
            {"sample98.dat", cregSampleHive(CregHabit::Windows98).build()},
            {"grown98.dat", grown98.build()}};
}

namespace {
const char kCurrentVersion[] = "Software\\Microsoft\\Windows\\CurrentVersion";
} // namespace

std::string cregReleaseHive(const char* version, const char* subVersion) {
    std::vector<CregBuilder::Value> values;
    for (auto [name, text] :
         {std::pair{"VersionNumber", version}, std::pair{"SubVersionNumber", subVersion}}) {
        if (text != nullptr) {
            values.push_back(CregBuilder::string(name, text));
        }
    }
    CregBuilder hive;
    hive.addKey(kCurrentVersion, values);
    return hive.build();
}

std::string regeditReleaseText(const char* version, const char* subVersion) {
    std::string text =
        std::string("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\") + kCurrentVersion + "]\r\n";
    for (auto [name, value] :
         {std::pair{"VersionNumber", version}, std::pair{"SubVersionNumber", subVersion}}) {
        if (value != nullptr) {
            text += "\"" + std::string(name) + "\"=\"" + value + "\"\r\n";
        }
    }
    return text;
}

} // namespace corvane_test
