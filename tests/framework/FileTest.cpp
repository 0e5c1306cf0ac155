#include "platform/framework/CFile.h"

#include "tests/support/TestMachine.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

class FrameworkFile : public ::testing::Test {
protected:
    void SetUp() override {
        m_machine.writeDisk("PLAIN.INF", "[Version]\r\n");
        m_machine.writeDisk("LOCKED.INF", "[Version]\r\n");
        std::filesystem::permissions(m_machine.onDisk("LOCKED.INF"),
                                     std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::remove);
        m_machine.boot();
    }

    corvane_test::TestMachine m_machine;
};

} // namespace

TEST_F(FrameworkFile, TestOpenAnswersForReadingOrWritingAlone) {
    const struct {
        const char* path;
        UINT mode;
        BOOL expected;
    } rows[] = {
        {"D:\\PLAIN.INF", CFile::modeRead, TRUE},
        {"D:\\PLAIN.INF", CFile::modeWrite, TRUE},
        {"d:\\plain.inf", CFile::modeRead, TRUE},
        {"D:\\LOCKED.INF", CFile::modeRead, TRUE},
        {"D:\\LOCKED.INF", CFile::modeWrite, FALSE},
        {"D:\\MISSING.INF", CFile::modeRead, FALSE},
        {"D:\\MISSING.INF", CFile::modeWrite, FALSE},
        {"D:\\PLAIN.INF", CFile::modeReadWrite, FALSE},
        {"D:\\PLAIN.INF", CFile::modeRead | CFile::shareDenyNone, FALSE},
        {nullptr, CFile::modeRead, FALSE},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(CFile::TestOpen(row.path, row.mode), row.expected)
            << (row.path != nullptr ? row.path : "(null)") << " mode " << row.mode;
    }
    // Never created by a test-open.
    EXPECT_FALSE(corvane_test::hostFileExists(m_machine.onDisk("MISSING.INF")));
}

TEST_F(FrameworkFile, AnOpenFileIsHeldUntilClosed) {
    {
        CFile holder;
        ASSERT_TRUE(holder.Open("D:\\PLAIN.INF", CFile::modeRead | CFile::shareDenyWrite));
        EXPECT_TRUE(holder.IsOpen());
        // Already open: a second Open is refused and the first stays.
        EXPECT_FALSE(holder.Open("D:\\LOCKED.INF", CFile::modeRead));
        EXPECT_TRUE(holder.IsOpen());

        CFile reader;
        EXPECT_TRUE(reader.Open("D:\\PLAIN.INF", CFile::modeRead | CFile::shareDenyNone));
        CFile writer;
        EXPECT_FALSE(writer.Open("D:\\PLAIN.INF", CFile::modeWrite | CFile::shareDenyNone));
        // Granting no sharing, a test-open fails while anyone holds the file.
        EXPECT_FALSE(CFile::TestOpen("D:\\PLAIN.INF", CFile::modeRead));

        reader.Close();
        EXPECT_FALSE(reader.IsOpen());
        holder.Close();
        EXPECT_TRUE(CFile::TestOpen("D:\\PLAIN.INF", CFile::modeRead));
        ASSERT_TRUE(holder.Open("D:\\PLAIN.INF", CFile::modeReadWrite | CFile::shareExclusive));
        EXPECT_FALSE(CFile::TestOpen("D:\\PLAIN.INF", CFile::modeWrite));
    }
    // The destructor closed it.
    EXPECT_TRUE(CFile::TestOpen("D:\\PLAIN.INF", CFile::modeWrite));

    CFile file;
    EXPECT_FALSE(file.Open("D:\\NEW.INF", CFile::modeWrite));
    EXPECT_FALSE(corvane_test::hostFileExists(m_machine.onDisk("NEW.INF")));
    EXPECT_FALSE(file.Open("D:\\PLAIN.INF", 0x0100)); // not a flag of this class
}
