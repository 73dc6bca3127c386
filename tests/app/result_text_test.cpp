// The result dialogs' lines.
#include <gtest/gtest.h>

#include <string>

#include "app/result_text.h"

namespace {

std::string size_text(double v) {
    char out[kLineCapacity];
    format_size(v, out, sizeof out);
    return out;
}

std::string percent_text(double uncompressed, double compressed) {
    char out[kLineCapacity];
    format_percent_reduced(uncompressed, compressed, out, sizeof out);
    return out;
}

std::string elapsed_text(uint32_t start, uint32_t end) {
    char out[kLineCapacity];
    format_elapsed_time(start, end, out, sizeof out);
    return out;
}

TEST(ResultLines, SizesChooseTheirUnit) {
    EXPECT_EQ(size_text(1023), "1023 bytes");
    EXPECT_EQ(size_text(1024), "1.00 KB   (1024 bytes)");
    EXPECT_EQ(size_text(1536), "1.50 KB   (1536 bytes)");
    EXPECT_EQ(size_text(1048576), "1.00 MB   (1048576 bytes)");
    EXPECT_EQ(size_text(5000000), "4.77 MB   (5000000 bytes)");
    EXPECT_EQ(size_text(-2000), "-2000 bytes");
}

TEST(ResultLines, ThousandBytesIntoSevenHundred) {
    char out[kLineCapacity];
    format_original_size(1000, out, sizeof out);
    EXPECT_STREQ(out, "Original Size: 1000 bytes");
    format_compressed_size(700, out, sizeof out);
    EXPECT_STREQ(out, "Compressed Size: 700 bytes");
    EXPECT_EQ(percent_text(1000, 700), "Percent Reduced: 30.00%   300 bytes");
}

TEST(ResultLines, AFileThatGrowsShowsANegativeSaving) {
    EXPECT_EQ(percent_text(10, 19), "Percent Reduced: -90.00%   -9 bytes");
}

TEST(ResultLines, AnEmptyFileHasNoRatio) {
    std::string line = percent_text(0, 8);
    EXPECT_EQ(line, "Percent Reduced: n/a   -8 bytes");
    EXPECT_EQ(line.find("inf"), std::string::npos);
    EXPECT_EQ(line.find("nan"), std::string::npos);
}

TEST(ResultLines, ElapsedTimeSurvivesATickWrap) {
    EXPECT_EQ(elapsed_text(1000, 2234), "Elapsed Time: 1.23 sec.");
    EXPECT_EQ(elapsed_text(0xFFFFFF00u, 0x000001F4u), "Elapsed Time: 0.76 sec.");
    EXPECT_EQ(elapsed_text(5, 5), "Elapsed Time: 0.00 sec.");
}

}  // namespace
