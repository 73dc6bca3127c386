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
    EXPECT_EQ(parse({"--quiet", "-qy"}).error, "invalid option -- 'y'");
    EXPECT_EQ(parse({"--frobnicate"}).error, "unrecognized option '--frobnicate'");
    EXPECT_EQ(parse({"--help=x"}).error, "option '--help' doesn't allow an argument");
    EXPECT_EQ(parse({"--t"}).error, "option '--t' is ambiguous");
    EXPECT_EQ(parse({"a", "-o"}).error, "option requires an argument -- 'o'");
    EXPECT_EQ(parse({"-T", "many"}).error, "invalid number of threads 'many'");
}

TEST(CliOptions, ModesValuesAndAbbreviations) {
    CliOptions grouped = parse({"-dcT3", "x.Q73"});
    EXPECT_TRUE(grouped.mode == CliMode::expand && grouped.to_stdout && grouped.threads == 3);
    CliOptions long_forms = parse({"--out=y", "--comp", "--threads", "0", "x", "-9", "--best"});
    EXPECT_TRUE(long_forms.mode == CliMode::compress && long_forms.output == "y");
    EXPECT_TRUE(long_forms.error.empty());
    EXPECT_EQ(long_forms.files, Names{"x"});
    // -d goes with -t and -l, which expand too; -z with neither.
    EXPECT_TRUE(parse({"-dt", "x"}).mode == CliMode::test);
    EXPECT_TRUE(parse({"-ld", "x"}).mode == CliMode::list);
    EXPECT_FALSE(parse({"-zd", "x"}).error.empty());
    EXPECT_FALSE(parse({"-tl", "x"}).error.empty());
    EXPECT_TRUE(parse({"--rm", "-k", "x"}).remove_input == false);
    EXPECT_TRUE(parse({"--sync", "x"}).sync && !parse({"x"}).sync);
}

TEST(CliOptions, NoFileWithAModeIsStandardInput) {
    EXPECT_EQ(parse({"-z"}).files, Names{"-"});
    EXPECT_EQ(parse({"-d"}).files, Names{"-"});
    EXPECT_TRUE(parse({"-q"}).files.empty());
}

TEST(CliOptions, TheProgramsNameSetsTheMode) {
    const char* unq73[] = {"/usr/bin/unq73", "x"};
    EXPECT_TRUE(parse_cli(2, unq73).mode == CliMode::expand);
    const char* cat[] = {"q73cat", "x"};
    CliOptions options = parse_cli(2, cat);
    EXPECT_TRUE(options.mode == CliMode::expand && options.to_stdout);
}

TEST(CliOptions, CombinationsThatMeanNothingAreUsageErrors) {
    EXPECT_FALSE(parse({"-o", "out", "a", "b"}).error.empty());
    EXPECT_FALSE(parse({"-r", "-o", "out", "dir"}).error.empty());
    EXPECT_FALSE(parse({"-c", "-o", "out", "a"}).error.empty());
    EXPECT_FALSE(parse({"-t", "-o", "out", "a"}).error.empty());
    EXPECT_FALSE(parse({"--rm", "-c", "a"}).error.empty());
    EXPECT_FALSE(parse({"--rm", "-t", "a"}).error.empty());
    EXPECT_TRUE(parse({"--rm", "-o", "out", "a"}).error.empty());
}

}  // namespace
