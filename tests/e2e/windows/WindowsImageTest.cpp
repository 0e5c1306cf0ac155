// setup.exe as Windows 95's loader sees it: every import must be one that
// Windows 95 implements, the subsystem version one that it accepts, and the
// resources those that the emulated machine gives the program.
#include "loader/CompiledResources.h"
#include "loader/ProgramResources.h"
#include "resources/resource.h"
#include "tests/e2e/windows/PeImage.h"
#include "tests/e2e/windows/Windows95Check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <tuple>

using corvane_test::PeImage;
using corvane_test::PeImport;
using corvane_test::PeResource;

namespace {

using Bytes = std::vector<unsigned char>;

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes setupExe() {
    Bytes bytes = readFile(CORVANE_WINDOWS_SETUP);
    EXPECT_FALSE(bytes.empty()) << "cannot read " << CORVANE_WINDOWS_SETUP;
    return bytes;
}

std::set<std::string> windows95Functions() {
    auto functions = corvane_test::readWindows95Functions(std::string(CORVANE_TEST_DATA) +
                                                          "/e2e/windows/windows95-functions.txt");
    EXPECT_GT(functions.size(), 50u);
    return functions;
}

std::vector<std::string> faultsOf(const Bytes& bytes) {
    std::string why;
    auto image = PeImage::read(bytes, why);
    if (!image) {
        return {"unreadable: " + why};
    }
    return corvane_test::windows95Faults(*image, windows95Functions());
}

const PeImport* importOf(const PeImage& image, const std::string& function) {
    for (const PeImport& i : image.imports) {
        if (i.function == function) {
            return &i;
        }
    }
    return nullptr;
}

const PeResource* resourceOf(const PeImage& image, unsigned type, const std::string& typeName,
                             unsigned name) {
    for (const PeResource& r : image.resources) {
        if (r.type == type && r.typeName == typeName && r.name == name) {
            return &r;
        }
    }
    return nullptr;
}

void put32(Bytes& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + static_cast<size_t>(i)] = static_cast<unsigned char>(value >> (8 * i));
    }
}

// Renumbers a resource, so that the one asked for is no longer there.
std::function<bool(Bytes&, const PeImage&)> renumber(unsigned type, const char* typeName,
                                                     unsigned name) {
    return [=](Bytes& bytes, const PeImage& image) {
        const PeResource* r = resourceOf(image, type, typeName, name);
        if (r == nullptr) {
            return false;
        }
        put32(bytes, r->nameEntryOffset, name + 1);
        return true;
    };
}

} // namespace

TEST(WindowsImage, SetupExeStartsOnWindows95) {
    const auto faults = faultsOf(setupExe());
    EXPECT_TRUE(faults.empty()) << ::testing::PrintToString(faults);
}

TEST(WindowsImage, EachFaultIsFound) {
    const Bytes original = setupExe();
    std::string why;
    auto image = PeImage::read(original, why);
    ASSERT_TRUE(image) << why;
    struct Case {
        const char* what;
        std::function<bool(Bytes&, const PeImage&)> put;
        std::vector<std::string> faults;
    };
    const Case cases[] = {
        {"a ...W import",
         [](Bytes& bytes, const PeImage& image) {
             const PeImport* i = importOf(image, "LoadStringA");
             if (i == nullptr) {
                 return false;
             }
             bytes[i->nameOffset + std::strlen("LoadStringA") - 1] = 'W';
             return true;
         },
         {"imports USER32.dll LoadStringW, which is not in the list of what Windows 95 "
          "implements"}},
        {"the C runtime DLL that the first releases lack",
         [](Bytes& bytes, const PeImage& image) {
             const PeImport* i = importOf(image, "InitCommonControls");
             if (i == nullptr) {
                 return false;
             }
             std::memcpy(&bytes[i->dllNameOffset], "msvcrt.dll", sizeof "msvcrt.dll");
             return true;
         },
         {"imports from msvcrt.dll, which Windows 95 does not have"}},
        {"a subsystem version Windows 95 refuses",
         [](Bytes& bytes, const PeImage& image) {
             bytes[image.subsystemMajorOffset] = 5;
             return true;
         },
         {"subsystem version 5.0 is above 4.0"}},
        {"no application title", renumber(6, "", 57344 / 16 + 1), {"string 57344 is missing"}},
        {"no message texts",
         renumber(6, "", IDS_WIN95_ONLY / 16 + 1),
         {"string 129 is missing", "string 130 is missing", "string 131 is missing",
          "string 132 is missing", "string 133 is missing", "string 134 is missing",
          "string 135 is missing", "string 136 is missing", "string 137 is missing",
          "string 138 is missing", "string 139 is missing", "string 140 is missing",
          "string 141 is missing", "string 142 is missing"}},
        {"no dialog 130", renumber(5, "", IDD_PROGRESS), {"dialog 130 is missing"}},
        {"no clip 132", renumber(0, "AVI", IDR_CLIP), {"clip 132 is missing"}},
    };
    for (const Case& c : cases) {
        Bytes broken = original;
        ASSERT_TRUE(c.put(broken, *image)) << c.what;
        EXPECT_EQ(faultsOf(broken), c.faults) << c.what;
    }
}

TEST(WindowsImage, CarriesExactlyTheResourcesTheEmulatedMachineLoads) {
    std::string why;
    auto image = PeImage::read(setupExe(), why);
    ASSERT_TRUE(image) << why;
    auto compiled = loader::readCompiledResources(loader::programResourceBytes(),
                                                  loader::programResourceSize(), why);
    ASSERT_TRUE(compiled) << why;
    using Key = std::tuple<unsigned, std::string, unsigned, std::string, unsigned, Bytes>;
    std::vector<Key> inExe;
    for (const PeResource& r : image->resources) {
        inExe.emplace_back(r.type, r.typeName, r.name, r.nameText, r.language, r.data);
    }
    std::vector<Key> inEmulation;
    for (const auto& r : *compiled) {
        inEmulation.emplace_back(r.type.number, r.type.text, r.name.number, r.name.text, r.language,
                                 r.data);
    }
    std::sort(inExe.begin(), inExe.end());
    std::sort(inEmulation.begin(), inEmulation.end());
    EXPECT_EQ(inExe.size(), inEmulation.size());
    EXPECT_TRUE(inExe == inEmulation) << "setup.exe and the emulated module differ in resources";
    // String blocks, the dialog and the clip: nothing of the program is left out.
    EXPECT_GE(inExe.size(), 4u);
}
