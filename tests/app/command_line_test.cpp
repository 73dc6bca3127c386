// The command-line tail and the choice of the job.
#include <gtest/gtest.h>

#include <string>

#include "app/command_line.h"

namespace {

std::string name_from(const char* tail) {
    char out[kNameCapacity];
    EXPECT_EQ(file_name_from_tail(tail, out), TailResult::ok) << tail;
    return out;
}

TEST(CommandLineTail, TheLastPieceWins) {
    EXPECT_EQ(name_from("report.txt"), "report.txt");
    EXPECT_EQ(name_from("a.txt b.q73"), "b.q73");
    EXPECT_EQ(name_from("   lead.txt"), "lead.txt");
    EXPECT_EQ(name_from("a\tb.txt"), "a\tb.txt");
}

TEST(CommandLineTail, EmptyTailsGiveAnEmptyName) {
    EXPECT_EQ(name_from(""), "");
    EXPECT_EQ(name_from("     "), "");
    EXPECT_EQ(name_from("b.q73 "), "");
    EXPECT_EQ(name_from(nullptr), "");
}

TEST(CommandLineTail, AQuotedNameKeepsItsSpaces) {
    EXPECT_EQ(name_from("\"C:\\My Files\\a b.txt\""), "C:\\My Files\\a b.txt");
    EXPECT_EQ(name_from("  \"a b.q73\""), "a b.q73");
    EXPECT_EQ(name_from("\"unclosed name"), "unclosed name");
    // A quotation mark later in the tail is part of a name, as before.
    EXPECT_EQ(name_from("x \"y.txt\""), "\"y.txt\"");
}

TEST(CommandLineTail, ANameLongerThanItsBufferIsRefused) {
    char out[kNameCapacity];
    std::string fits(1023, 'f');
    EXPECT_EQ(file_name_from_tail(fits.c_str(), out), TailResult::ok);
    EXPECT_EQ(std::string(out), fits);
    std::string too_long(1024, 'f');
    EXPECT_EQ(file_name_from_tail(too_long.c_str(), out), TailResult::too_long);
    EXPECT_EQ(file_name_from_tail(("\"" + too_long + "\"").c_str(), out), TailResult::too_long);
    EXPECT_EQ(file_name_from_tail(("short " + too_long).c_str(), out), TailResult::too_long);
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
