// The one emulated machine of the in-process tests. Its drives are folders in
// a temporary folder of its own, so a test never changes the repository's
// files; boot() starts the machine on them with the program's own resources
// registered, the destructor shuts it down. What the machine starts with is
// chosen by Options; the emulated settings (screen, clock, registry file,
// Windows directory, version...) are the MachineConfig that config() gives,
// the same record the host program fills from its options.
#pragma once

#include "platform/emu/Machine.h"
#include "tests/support/TempDir.h"

#include <string>
#include <vector>

namespace corvane_test {

class TestMachine {
public:
    // The folders behind the drives.
    enum class Drives {
        CAndDisk, // C: and a driver disk as D: and the current directory
        COnly,    // C: alone, also the current directory
        Demo,     // copies of the repository's demo/c as C: and demo/disk as D:
        Demo950,  // the Traditional Chinese demo: copies of demo/c950 and demo/disk950
    };

    struct Options {
        Drives drives = Drives::CAndDisk;
        // Folders made on C: before boot, '/' separated (not for Demo).
        std::vector<std::string> cFolders{"WINDOWS/INF"};
        // Trace every traced call to a file beside the drives (traceText()).
        bool trace = false;
    };
    // The default drives with the trace on.
    static Options traced();
    // Copies of the repository's demo as the drives.
    static Options demo();
    // Copies of the Traditional Chinese demo (code page 950) as the drives.
    static Options demo950();

    TestMachine();
    explicit TestMachine(const Options& options);
    ~TestMachine();
    TestMachine(const TestMachine&) = delete;
    TestMachine& operator=(const TestMachine&) = delete;

    // Host paths of the two drives' folders.
    std::string cDrive() const { return m_root / "c"; }
    std::string disk() const { return m_root / "disk"; }
    // Host path of a file on C: or on the disk, given with '/' or '\\'.
    std::string onC(const std::string& relative) const;
    std::string onDisk(const std::string& relative) const;

    void writeC(const std::string& relative, const std::string& text) const;
    void writeDisk(const std::string& relative, const std::string& text) const;
    std::string readC(const std::string& relative) const;
    bool existsOnC(const std::string& relative) const;
    // What the trace file holds so far (Options::trace).
    std::string traceText() const;

    // The configuration boot() uses; change it before booting.
    emu::MachineConfig& config() { return m_config; }
    // Boots the machine afresh, replacing one booted before.
    void boot();
    void shutdown();

    // The repository's demo folder (demo/c, demo/disk).
    static std::string demoSource();
    // Replaces the C: folder with a fresh copy of the demo's: the INF files and
    // the registry as the demo starts them, no backups.
    void freshDemoC() const;

private:
    void makeDrives(const Options& options);

    TempDir m_root;
    emu::MachineConfig m_config;
};

} // namespace corvane_test
