// The registry of the emulated machine: HKEY_LOCAL_MACHINE lives in one file,
// MachineConfig::registryFile or else SYSTEM.DAT in the Windows directory when
// it is there and SYSTEM.REG when not. The file's content picks the format:
// Windows 95's binary hive (CregFile) when it starts with "CREG", a REGEDIT4
// text file (RegistryFile) otherwise. A change made to the file between calls
// counts: a text file is read afresh for every operation, a binary hive's
// parsed form is kept only while its file stays the same (device, inode,
// size and times; its bytes too while the times cannot yet tell). A change
// to a text file is written back whole and atomically; a binary hive is
// written in place, only the pages that changed, behind an undo journal
// (InPlaceWriter, hostsupport::UndoJournal) that the next start or read
// rolls back when a writer died.
#pragma once

#include "platform/emu/MachineConfig.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace emu::kernel {

// Starts the registry: rolls back what a change to the hive cut short left
// (said on stderr); throws std::runtime_error with the reason when that
// cannot be done, the file left as it is.
void bootRegistry(const MachineConfig& config);
void shutdownRegistry();

// The host path of the hive file; empty when its drive is not mapped.
std::string registryHostPath();

// The registry file is whatever carries its name. A folder, pipe or device,
// a link that leads nowhere or outside its drive is no registry: every
// operation fails on it (reported on stderr) and nothing reads it as empty.
// A link to a file is followed, and a change is made to the file it leads to.
// The system writes its own file whatever its read-only, hidden and system
// attributes, which the file keeps.

// Deletes a key below HKEY_LOCAL_MACHINE with all its subkeys, as Windows 95
// does. Returns a Win32 error code: ERROR_SUCCESS; ERROR_BADKEY for an empty
// path or an empty name in it; ERROR_FILE_NOT_FOUND when the key (or the hive
// file) does not exist; ERROR_BADDB for a malformed file, a binary hive with
// damage no release of Windows leaves (a checksum that does not match, data
// after its end) or a registry file that is no file, each reported on stderr
// and left untouched; ERROR_ACCESS_DENIED when the file cannot be read or
// written (the host user may not write it or its folder, the disk is full,
// a journal beside it cannot be rolled back), reported on stderr but for a
// file that cannot be read.
LONG deleteLocalMachineKey(std::string_view path);

// Whether a key below HKEY_LOCAL_MACHINE exists, names compared without regard
// to case. False for a malformed path, a missing or unreadable hive file and
// one that does not read as a well-formed registry (which is not reported).
bool localMachineKeyExists(std::string_view path);

// The text of a string value of a key below HKEY_LOCAL_MACHINE (names
// compared without regard to case); nullopt when the hive, the key or the
// value is missing, the value is no string, or the hive is unusable.
std::optional<std::string> localMachineString(std::string_view path, std::string_view name);

// Every key below HKEY_LOCAL_MACHINE as a path ("Enum\\ROOT\\X"), parents
// before their subkeys; empty when there is no hive file. False, with the
// reason, when the file cannot be read or is malformed.
bool listLocalMachineKeys(std::vector<std::string>& paths, std::string& error);

// The structure check of the hive file, for users servicing a machine: every
// problem on a line of its own ("at 0x1a2c: ..." in a binary hive, "line 3:
// ..." in a REGEDIT4 file), none for a sound file. False when there is no
// hive file; hostPath is set to the file checked.
bool checkLocalMachineHive(std::string& hostPath, std::vector<std::string>& problems);

// Windows ME's third hive, CLASSES.DAT in the Windows directory: its host
// path when there is one, else empty. The emulated registry neither reads
// nor changes it.
std::string classesHiveHostPath();

} // namespace emu::kernel
