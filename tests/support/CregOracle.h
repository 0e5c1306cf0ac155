// A second opinion on binary registry files: Debian's libcreg, a reader
// written independently from studies of real Windows 95 files, lists what it
// finds in the form of CregBuilder::listing().
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace corvane_test {

class CregOracle {
public:
    // The keys and values libcreg reads from the file; nullopt when libcreg
    // cannot open it or cannot read some key or value of it.
    static std::optional<std::vector<std::string>> listing(const std::string& hostPath);
};

} // namespace corvane_test
