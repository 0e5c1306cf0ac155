// Binary registry files made with CregBuilder, shared by the tests, the
// benchmarks and the fuzz target's seeds (fuzz/corpus/fuzz_creg holds
// exactly cregFuzzSeeds(), which a test checks).
#pragma once

#include "tests/support/CregBuilder.h"

#include <string>
#include <utility>
#include <vector>

namespace corvane_test {

// A small SYSTEM.DAT: keys several levels deep, every value type, a gap left
// by a deleted key, names that differ only in case, and blocks small enough
// that the data runs over several of them.
CregBuilder cregSampleHive(emu::kernel::CregHabit habit = emu::kernel::CregHabit::Windows95);

// A hive of about `bytes` bytes: device keys under Enum\ROOT, each with a
// device instance and a few values, in 4 KB data blocks.
CregBuilder cregLargeHive(size_t bytes);

// A SYSTEM.DAT grown as a used machine's is: at least `keys` keys at the
// depths and with the values Windows keeps (device trees under Enum, driver
// classes, software settings), the key tree in many chunks, data blocks of up
// to 255 entries, and a deleted key's traces every few dozen keys. The four
// device keys of cregInstallDriveHive() are among them. With Windows 98's
// habits the deleted keys' traces come more often, as on a machine whose
// devices came and went, so that most blocks hold several holes.
CregBuilder cregGrownHive(size_t keys,
                          emu::kernel::CregHabit habit = emu::kernel::CregHabit::Windows95);

// The SYSTEM.DAT of the install-system-dat acceptance scenario's C: drive:
// the four device keys the demo disk deletes, a gap, and keys that stay.
CregBuilder cregInstallDriveHive();

// demo/SYSTEM.DAT: the demo C: drive's SYSTEM.REG as Windows 95 would keep it.
CregBuilder cregDemoHive();

// An installation's record of its release: the key
// Software\Microsoft\Windows\CurrentVersion with VersionNumber and
// SubVersionNumber (nullptr: the value is missing), as a SYSTEM.DAT file or
// as a REGEDIT4 file.
std::string cregReleaseHive(const char* version, const char* subVersion);
std::string regeditReleaseText(const char* version, const char* subVersion);

// File name and bytes of each seed.
std::vector<std::pair<std::string, std::string>> cregFuzzSeeds();

} // namespace corvane_test
