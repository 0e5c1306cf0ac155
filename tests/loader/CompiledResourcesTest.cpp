// The loader's reader of compiled resource files, on the program's own file
// and on hand-made ones for what the program's file does not show.
#include "loader/CompiledResources.h"
#include "loader/ProgramResources.h"
#include "resources/resource.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using loader::CompiledResource;
using loader::moduleResourcesFrom;
using loader::readCompiledResources;

namespace {

using Bytes = std::vector<unsigned char>;

class ResWriter {
public:
    ResWriter() { entry("", 0, "", 0, {}); } // the empty entry that opens a .res file

    // type and name: a text, or a number when the text is empty.
    ResWriter& entry(const std::string& typeText, unsigned type, const std::string& nameText,
                     unsigned name, const Bytes& data) {
        Bytes header;
        field(header, typeText, type);
        field(header, nameText, name);
        while (header.size() % 4 != 0) {
            header.push_back(0);
        }
        put32(header, 0);      // data version
        put16(header, 0x1030); // memory flags
        put16(header, 0x0409); // language
        put32(header, 0);      // version
        put32(header, 0);      // characteristics
        put32(m_bytes, static_cast<unsigned>(data.size()));
        put32(m_bytes, static_cast<unsigned>(header.size() + 8));
        m_bytes.insert(m_bytes.end(), header.begin(), header.end());
        m_bytes.insert(m_bytes.end(), data.begin(), data.end());
        while (m_bytes.size() % 4 != 0) {
            m_bytes.push_back(0);
        }
        return *this;
    }
    ResWriter& entry(unsigned type, unsigned name, const Bytes& data) {
        return entry("", type, "", name, data);
    }
    const Bytes& bytes() const { return m_bytes; }

private:
    static void put16(Bytes& b, unsigned v) {
        b.push_back(static_cast<unsigned char>(v & 0xFF));
        b.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
    }
    static void put32(Bytes& b, unsigned v) {
        put16(b, v & 0xFFFF);
        put16(b, v >> 16);
    }
    static void field(Bytes& b, const std::string& text, unsigned number) {
        if (text.empty()) {
            put16(b, 0xFFFF);
            put16(b, number);
            return;
        }
        for (char c : text) {
            put16(b, static_cast<unsigned char>(c));
        }
        put16(b, 0);
    }
    Bytes m_bytes;
};

// A string-table block: sixteen counted UTF-16 texts.
Bytes stringBlock(const std::vector<std::string>& texts) {
    Bytes b;
    for (size_t i = 0; i < 16; ++i) {
        const std::string text = i < texts.size() ? texts[i] : "";
        b.push_back(static_cast<unsigned char>(text.size()));
        b.push_back(0);
        for (char c : text) {
            b.push_back(static_cast<unsigned char>(c));
            b.push_back(0);
        }
    }
    return b;
}

} // namespace

TEST(CompiledResources, TheProgramsFileGivesEveryResourceOfTheScript) {
    std::string why;
    auto entries =
        readCompiledResources(loader::programResourceBytes(), loader::programResourceSize(), why);
    ASSERT_TRUE(entries) << why;
    auto resources = moduleResourcesFrom(*entries, why);
    ASSERT_TRUE(resources) << why;
    const std::pair<unsigned, const char*> strings[] = {
        {IDS_QUIT, "Quit this program?"},
        {IDS_MAKER, "Quentor"},
        {IDS_UPDATE_INCOMPLETE, "The update is incomplete: some Windows INF files could not be "
                                "changed.\nNo device was removed and the system need not "
                                "restart.\n\nChoose uninstall to put back what was changed."},
        {IDS_WIN95_ONLY, "This program runs under Windows 95 system only."},
        {IDS_REGISTRY_FAILED,
         "The Windows registry could not be changed, so Windows will not detect the devices "
         "again.\nNothing needs restarting.\n\nThe INF files stay as they are now; uninstall "
         "puts back what an install changed."},
        {AFX_IDS_APP_TITLE, "corvane"},
    };
    for (const auto& s : strings) {
        EXPECT_EQ(resources->strings[s.first], s.second) << s.first;
    }
    EXPECT_EQ(resources->strings.size(), 15u);
    ASSERT_EQ(resources->dialogs.count(IDD_PROGRESS), 1u);
    ASSERT_EQ(resources->clips.count(IDR_CLIP), 1u);
    EXPECT_EQ(
        std::string(resources->clips[IDR_CLIP].begin(), resources->clips[IDR_CLIP].begin() + 4),
        "RIFF");
}

TEST(CompiledResources, NamesOfAnyLengthAndBrokenFiles) {
    const Bytes clip = {'R', 'I', 'F', 'F', 1, 2, 3};
    struct Case {
        const char* what;
        Bytes file;
        bool read;       // the file reads
        bool registered; // and makes module resources
        unsigned clipName;
    };
    const Bytes whole = ResWriter()
                            .entry("AVI", 0, "", IDR_CLIP, clip)
                            .entry(6, IDS_QUIT / 16 + 1, stringBlock({"", "", "Quit?"}))
                            .bytes();
    const Bytes cut(whole.begin(), whole.end() - 3);
    const Case cases[] = {
        {"a type name of odd length, then an aligned header", whole, true, true, IDR_CLIP},
        {"a type name of even length",
         ResWriter().entry("CLIP", 0, "", 7, clip).entry("AVI", 0, "", 9, clip).bytes(), true, true,
         9},
        {"a file cut short", cut, false, false, 0},
        {"one dialog twice",
         ResWriter().entry(5, 130, {1, 2, 3, 4}).entry(5, 130, {5, 6, 7, 8}).bytes(), true, false,
         0},
        {"a clip named by text", ResWriter().entry("AVI", 0, "SPIN", 0, clip).bytes(), true, false,
         0},
        {"a string block of one text longer than the block",
         ResWriter().entry(6, 9, {0x30, 0, 'a', 0}).bytes(), true, false, 0},
    };
    for (const Case& c : cases) {
        std::string why;
        auto entries = readCompiledResources(c.file.data(), c.file.size(), why);
        ASSERT_EQ(entries.has_value(), c.read) << c.what << ": " << why;
        if (!entries) {
            EXPECT_FALSE(why.empty()) << c.what;
            continue;
        }
        // The language follows the names, at the next four-byte boundary.
        for (const CompiledResource& entry : *entries) {
            EXPECT_EQ(entry.language, 0x0409u) << c.what;
        }
        auto resources = moduleResourcesFrom(*entries, why);
        ASSERT_EQ(resources.has_value(), c.registered) << c.what << ": " << why;
        if (resources && c.clipName != 0) {
            EXPECT_EQ(resources->clips[c.clipName], clip) << c.what;
        }
    }
    std::string why;
    auto resources =
        moduleResourcesFrom(*readCompiledResources(whole.data(), whole.size(), why), why);
    ASSERT_TRUE(resources) << why;
    EXPECT_EQ(resources->strings, (std::map<UINT, std::string>{{IDS_QUIT, "Quit?"}}));
}
