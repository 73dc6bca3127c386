// The command-line tail and the choice of the job.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command_line.h"

namespace {

using Names = std::vector<std::string>;

TEST(CommandLineTail, EveryPieceIsANameInOrder) {
    EXPECT_EQ(names_from_tail("report.txt"), Names{"report.txt"});
    EXPECT_EQ(names_from_tail("a.txt b.q73"), (Names{"a.txt", "b.q73"}));
    EXPECT_EQ(names_from_tail("   lead.txt   two  three "), (Names{"lead.txt", "two", "three"}));
    // Only the space separates.
    EXPECT_EQ(names_from_tail("a\tb.txt"), Names{"a\tb.txt"});
}

TEST(CommandLineTail, TheProgramsNameIsLeftOutAndEveryByteOfTheRestKept) {
    EXPECT_STREQ(tail_of_command_line("q73.exe a.txt"), "a.txt");
    EXPECT_STREQ(tail_of_command_line("\"C:\\Program Files\\q73.exe\"  \"a b.txt\" c"),
                 "\"a b.txt\" c");
    EXPECT_STREQ(tail_of_command_line("\"C:\\q73.exe\"x.txt"), "x.txt");
    EXPECT_STREQ(tail_of_command_line("q73.exe\t\t\xe5\xa0\xb1\xe5\x91\x8a.txt"),
                 "\xe5\xa0\xb1\xe5\x91\x8a.txt");
    EXPECT_STREQ(tail_of_command_line("q73.exe \xd0\xbc \xf0\x9f\x98\x80.txt"),
                 "\xd0\xbc \xf0\x9f\x98\x80.txt");
    EXPECT_STREQ(tail_of_command_line("q73.exe"), "");
    EXPECT_STREQ(tail_of_command_line("\"unclosed q73.exe"), "");
    EXPECT_STREQ(tail_of_command_line(nullptr), "");
}

TEST(CommandLineTail, EmptyTailsAndTrailingSpacesAddNoName) {
    EXPECT_EQ(names_from_tail(""), Names{});
    EXPECT_EQ(names_from_tail("     "), Names{});
    EXPECT_EQ(names_from_tail("b.q73 "), Names{"b.q73"});
    EXPECT_EQ(names_from_tail(nullptr), Names{});
    EXPECT_EQ(names_from_tail("\"\" \"\""), Names{});
}

TEST(CommandLineTail, QuotedPiecesKeepTheirSpacesAndLoseTheirMarks) {
    EXPECT_EQ(names_from_tail("\"C:\\My Files\\a b.txt\""), Names{"C:\\My Files\\a b.txt"});
    EXPECT_EQ(names_from_tail("  \"a b.q73\""), Names{"a b.q73"});
    EXPECT_EQ(names_from_tail("\"unclosed name"), Names{"unclosed name"});
    EXPECT_EQ(names_from_tail("C:\\x.txt \"C:\\two words.pdf\" C:\\y.Q73"),
              (Names{"C:\\x.txt", "C:\\two words.pdf", "C:\\y.Q73"}));
    EXPECT_EQ(names_from_tail("C:\\\"My Files\"\\a b"), (Names{"C:\\My Files\\a", "b"}));
}

TEST(CommandLineTail, LongNamesArePassedWhole) {
    std::string long_name(5000, 'f');
    EXPECT_EQ(names_from_tail(("short \"" + long_name + "\"").c_str()),
              (Names{"short", long_name}));
}

TEST(JobChoice, OnlyADotQ73EndingIsExpanded) {
    for (const char* name : {"report.q73", "report.Q73", "REPORT.q73", ".q73", "a b.Q73", "x.q73.q73"}) {
        EXPECT_TRUE(names_compressed_file(name)) << name;
    }
    for (const char* name : {"report.txt", "q73", "x.q73a", "xq73", "", "a.q7", "x.Q73 ", "x,q73"}) {
        EXPECT_FALSE(names_compressed_file(name)) << name;
    }
}

}  // namespace
