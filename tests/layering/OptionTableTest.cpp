// A command-line option is a row of a table that carries its own handler
// (platform/emu/hostsupport/OptionTable.h); a row that forgets the handler,
// or gives a null one, must not compile, so that no option can fall through
// to another's code. The rows are compiled here by the build's own compiler.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const fs::path kSourceRoot = fs::path(CORVANE_TEST_DATA).parent_path();

// Whether a table whose second row is row compiles.
bool tableCompiles(const std::string& row) {
    const fs::path folder =
        fs::temp_directory_path() / ("corvane-rows-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const fs::path source = folder / "rows.cpp";
    {
        std::ofstream out(source);
        out << "#include \"platform/emu/hostsupport/OptionTable.h\"\n"
               "struct Target { bool set = false; };\n"
               "bool handle(const std::string&, Target& target, std::string&) {\n"
               "    target.set = true;\n"
               "    return true;\n"
               "}\n"
               "const emu::hostsupport::OptionRow<Target> kRows[] = {\n"
               "    {\"--first\", nullptr, \"the first\", &handle},\n"
               "    "
            << row
            << ",\n"
               "};\n";
    }
    const std::string command = std::string(CORVANE_CXX_COMPILER) + " -std=c++17 -fsyntax-only -I" +
                                kSourceRoot.string() + " " + source.string() + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    fs::remove_all(folder);
    return status == 0;
}

TEST(OptionTable, ARowWithoutItsHandlerDoesNotCompile) {
    struct Row {
        const char* row;
        bool compiles;
    };
    const Row rows[] = {
        {R"({"--second", "VALUE", "the second", &handle})", true},
        {R"({"--second", nullptr, "the second", &handle, true})", true},
        {R"({"--second", "VALUE", "the second"})", false},
        {R"({"--second", "VALUE", "the second", nullptr})", false},
        {R"({"--second", "VALUE", "the second", 0})", false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(tableCompiles(row.row), row.compiles) << row.row;
}

} // namespace
