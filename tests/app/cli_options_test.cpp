// The Linux program's options.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/cli_options.h"

namespace {

CliOptions parse(std::vector<const char*> args) {
    args.insert(args.begin(), "q73");
    return parse_cli(static_cast<int>(args.size()), args.data());
}

using Names = std::vector<std::string>;

TEST(CliOptions, ShortAndLongFormsSetTheSameOption) {
    EXPECT_TRUE(parse({"-h"}).help);
    EXPECT_TRUE(parse({"--help"}).help);
    EXPECT_TRUE(parse({"-V"}).version);
    EXPECT_TRUE(parse({"--version"}).version);
    EXPECT_TRUE(parse({"-c", "x"}).to_stdout);
    EXPECT_TRUE(parse({"--stdout", "x"}).to_stdout);
    EXPECT_TRUE(parse({"-q", "x"}).quiet);
    EXPECT_TRUE(parse({"--quiet", "x"}).quiet);
    CliOptions grouped = parse({"-cq", "x"});
    EXPECT_TRUE(grouped.to_stdout && grouped.quiet);
    EXPECT_FALSE(grouped.help || grouped.version);
}

TEST(CliOptions, NamesComeInOrderAroundOptions) {
    CliOptions options = parse({"a.txt", "-q", "b.Q73", "-", "c"});
    EXPECT_EQ(options.files, (Names{"a.txt", "b.Q73", "-", "c"}));
    EXPECT_TRUE(options.error.empty());
    EXPECT_EQ(parse({"", "a", ""}).files, Names{"a"});
}

TEST(CliOptions, DoubleDashLetsNamesThatBeginWithADashThrough) {
    CliOptions options = parse({"--", "-odd.txt", "--help"});
    EXPECT_EQ(options.files, (Names{"-odd.txt", "--help"}));
    EXPECT_FALSE(options.help);
    EXPECT_TRUE(options.error.empty());
}

TEST(CliOptions, AnUnknownOptionIsAUsageError) {
    EXPECT_EQ(parse({"-x", "a"}).error, "invalid option -- 'x'");
    EXPECT_EQ(parse({"-qz"}).error, "invalid option -- 'z'");
    EXPECT_EQ(parse({"--frobnicate"}).error, "unrecognized option '--frobnicate'");
    EXPECT_FALSE(parse({"--help=x"}).error.empty());
}

}  // namespace
