// Windows 95 family installations as their own setup leaves a C: drive, for
// the tests that run the program on one: a host folder mapped as C:, or a
// FAT disk image. Each release keeps its own version values in the registry
// and its own set of INF files; what every installation holds, and where
// those facts come from, is listed in tests/support/README.md.
#pragma once

#include "tests/support/CregBuilder.h"
#include "tests/support/FatImage.h"

#include <string>
#include <vector>

namespace corvane_test {

struct WindowsRelease {
    const char* name;             // "Windows 95 OSR2"
    const char* versionNumber;    // CurrentVersion's VersionNumber
    const char* subVersionNumber; // CurrentVersion's SubVersionNumber
    const char* productName;      // CurrentVersion's ProductName
    const char* version;          // CurrentVersion's Version
    bool fat32;                   // formats its disk with FAT32
    bool usb;                     // has the USB support, and with it INF\USB.INF
};

// Windows 95, OSR1, OSR2, OSR2.5, 98, 98 SE and ME, in that order.
const std::vector<WindowsRelease>& windowsReleases();
const WindowsRelease& windowsRelease(const std::string& name);

// The lines of one section of an INI text (a layout.ini, an INF file),
// blanks trimmed, without comments and empty lines.
std::vector<std::string> iniSection(const std::string& text, const std::string& section);

class WindowsInstallation {
public:
    // The edition of code page codePage: 1252 the Western one, or the
    // Japanese (932), Simplified Chinese (936), Korean (949) or Traditional
    // Chinese (950) one, whose registry records its ANSI and OEM code page,
    // whose MSHDC.INF is in its code page (doubleByteInf) and whose
    // WINDOWS\INF holds a file with a double-byte short name.
    explicit WindowsInstallation(const WindowsRelease& release, unsigned codePage = 1252);

    const WindowsRelease& release() const { return m_release; }
    unsigned codePage() const { return m_codePage; }
    // HKEY_LOCAL_MACHINE as C:\WINDOWS\SYSTEM.DAT holds it, and the user's
    // part as C:\WINDOWS\USER.DAT holds it.
    const CregBuilder& systemHive() const { return m_system; }
    const CregBuilder& userHive() const { return m_user; }

    // The files of the drive by path from its root ('/'), with the names
    // Windows gives them.
    struct File {
        std::string path;
        std::string bytes;
        bool protectedFile; // hidden, system and read-only
    };
    std::vector<File> files() const;
    // Folders that hold no file of files(), empty on a fresh installation.
    std::vector<std::string> emptyFolders() const;

    // Writes the installation into an empty host folder. A folder drive
    // keeps only the read-only attribute (the owner's write bit).
    void writeFolder(const std::string& root) const;
    // Makes a disk image at path (FAT32 where the release formats so, else
    // FAT16) with the same files, hidden, system and read-only set where
    // Windows sets them, and real long names.
    FatImage writeImage(const std::string& path) const;

    // C:\WINDOWS\INF paths of files() ('/'), the OEM INF in INF/OTHER too.
    std::vector<std::string> infFiles() const;
    static const char* const kSystemDat; // "WINDOWS/SYSTEM.DAT"
    // The file with a short name alone, in double-byte characters of the
    // edition's code page (with a trail byte '\\' where the code page has
    // one), and that name's 11 bytes as its directory entry holds it; empty
    // for code page 1252.
    std::string doubleByteFile() const;
    std::string doubleByteShortName() const;
    // The file whose long name holds a character outside ASCII: kNonAsciiFile
    // in code page 1252 ("Résumé.txt"), one of the edition's characters in
    // the others.
    static const char* const kNonAsciiFile;
    std::string nonAsciiFile() const;

private:
    WindowsRelease m_release;
    unsigned m_codePage;
    CregBuilder m_system;
    CregBuilder m_user;
};

} // namespace corvane_test
