#include "cli/TerminalOwner.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tape/BlockEntry.h"

namespace {
std::string Contents(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) {
        text.push_back(static_cast<char>(c));
    }
    return text;
}

class TerminalOwnerTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_entries = std::tmpfile();
        m_messages = std::tmpfile();
        ASSERT_NE(m_entries, nullptr);
        ASSERT_NE(m_messages, nullptr);
    }
    void TearDown() override {
        std::fclose(m_entries);
        std::fclose(m_messages);
    }
    std::FILE* m_entries = nullptr;
    std::FILE* m_messages = nullptr;
};
}  // namespace

TEST_F(TerminalOwnerTest, BlocksAreKeptInOrderAndListedAsEntries) {
    CTerminalOwner owner(m_entries, m_messages);
    uint8_t header[19] = {0x00, 0x03, 'A', 'B', 0, ' ', ' ', ' ', ' ', ' ', ' ', ' ', 0x00, 0x1B};
    const uint8_t data[3] = {0xFF, 0x42, 0xBD};
    owner.AddBlock(19, header);
    header[1] = 0x55;  // the owner copied the bytes
    owner.AddBlock(3, data);

    ASSERT_EQ(owner.Blocks().size(), 2u);
    EXPECT_EQ(std::get<RomBlock>(owner.Blocks()[0].body).bytes[1], 0x03);
    EXPECT_EQ(owner.Blocks()[1].body, BlockBody(RomBlock{{0xFF, 0x42, 0xBD}}));
    EXPECT_EQ(Contents(m_entries), "code\t00\t17\tAB\t6912\n\tFF\t1\t\t\n");
    EXPECT_EQ(Contents(m_messages), "");
}

TEST_F(TerminalOwnerTest, ErrorEntriesAreListedButNotKept) {
    CTerminalOwner owner(m_entries, m_messages);
    owner.AddErrorEntry(3, 0x00);
    owner.AddErrorEntry(0, -1);
    EXPECT_TRUE(owner.Blocks().empty());
    EXPECT_EQ(owner.ErrorEntryCount(), 2);
    EXPECT_EQ(Contents(m_entries), FormatEntryLine(DescribeReadError(3, 0)) + "\n" +
                                       FormatEntryLine(DescribeReadError(0, -1)) + "\n");
    EXPECT_TRUE(owner.ListErrors());
}

TEST_F(TerminalOwnerTest, DebugLinesOnlyWhenAskedFor) {
    unsetenv("TAPEWISE_DEBUG");
    {
        CTerminalOwner quiet(m_entries, m_messages);
        quiet.DebugOutput("file complete, 19 bytes\n");
    }
    EXPECT_EQ(Contents(m_messages), "");
    setenv("TAPEWISE_DEBUG", "1", 1);
    CTerminalOwner verbose(m_entries, m_messages);
    verbose.DebugOutput("file complete, 19 bytes\n");
    unsetenv("TAPEWISE_DEBUG");
    EXPECT_EQ(Contents(m_messages), "file complete, 19 bytes\n");
}
