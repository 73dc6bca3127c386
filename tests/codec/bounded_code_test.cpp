// The bounded count code: the exact bits of known codes, and that every
// value written under every bound reads back with the reader ending where
// the writer ended.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "codec/bounded_code.h"
#include "tests/codec/stream_bits.h"

namespace {

LevelStream stream;

std::string code_of(int32_t v, int32_t m) {
    reset_level_stream(&stream);
    put_bounded(&stream, v, m);
    return bit_string(&stream);
}

// A reader over a copy of what the stream holds; the reader turns its bytes
// around in place, as it does with a record read from a file.
std::vector<uint8_t> copy;

InputStream input_over(const LevelStream& s) {
    copy.assign(s.buffer, s.buffer + used_length(&s));
    copy.resize(copy.size() + kInputPadding, 0);
    return open_input(copy.data(), used_length(&s));
}

TEST(BoundedCode, SmallBoundsGiveTheTabledCodes) {
    const std::vector<std::vector<std::string>> table = {
        {"0", "1"},
        {"00", "1", "01"},
        {"00", "10", "01", "11"},
        {"000", "10", "01", "11", "001"},
        {"000", "100", "01", "11", "001", "101"},
        {"000", "100", "010", "11", "001", "101", "011"},
        {"000", "100", "010", "110", "001", "101", "011", "111"},
        {"0000", "100", "010", "110", "001", "101", "011", "111", "0001"},
    };
    for (int m = 1; m <= 8; ++m) {
        for (int v = 0; v <= m; ++v) {
            EXPECT_EQ(code_of(v, m), table[m - 1][v]) << "v=" << v << " m=" << m;
        }
    }
}

TEST(BoundedCode, LargerBoundsGiveTheTabledCodes) {
    EXPECT_EQ(code_of(3, 255), "11000000");
    EXPECT_EQ(code_of(200, 255), "00010011");
    EXPECT_EQ(code_of(300, 65535), "0011010010000000");
    EXPECT_EQ(code_of(2, 524288), "01" + std::string(17, '0'));
    EXPECT_EQ(code_of(1000, 524288), "0001011111" + std::string(9, '0'));
    EXPECT_EQ(code_of(524288, 524288), std::string(19, '0') + "1");
    EXPECT_EQ(code_of(0, 524288), std::string(20, '0'));
    EXPECT_EQ(code_of(70000, 100000), "00001110100010001");
}

TEST(BoundedCode, ABoundBelowOneCostsNothing) {
    EXPECT_EQ(code_of(0, 0), "");
    EXPECT_EQ(code_of(0, -5), "");
    uint8_t data[2 + kInputPadding] = {0xFF, 0xFF};
    InputStream in = open_input(data, 2);
    read_bit(&in);
    EXPECT_EQ(get_bounded(&in, 0), 0);
    EXPECT_EQ(get_bounded(&in, -5), 0);
    EXPECT_EQ(bits_read(&in), 1);
    EXPECT_EQ(get_bounded(&in, 1), 1);
    EXPECT_EQ(bits_read(&in), 2);
}

TEST(BoundedCode, CodesFollowEachOtherWithoutSeparator) {
    reset_level_stream(&stream);
    put_bounded(&stream, 3, 5);
    put_bounded(&stream, 4, 5);
    EXPECT_EQ(stream.buffer[0], 200);
    EXPECT_EQ(used_length(&stream), 1);
}

TEST(BoundedCode, EveryValueUnderEveryBoundReadsBackAtEveryBitOffset) {
    for (int32_t m = 1; m <= 255; ++m) {
        for (int offset = 0; offset < 8; ++offset) {
            reset_level_stream(&stream);
            for (int i = 0; i < offset; ++i) put_bit(&stream, 1);
            std::vector<int> ends;
            for (int32_t v = 0; v <= m; ++v) {
                put_bounded(&stream, v, m);
                ends.push_back(bits_in(&stream));
            }
            InputStream in = input_over(stream);
            for (int i = 0; i < offset; ++i) read_bit(&in);
            for (int32_t v = 0; v <= m; ++v) {
                ASSERT_EQ(get_bounded(&in, m), v) << "m=" << m << " offset=" << offset;
                ASSERT_EQ(bits_read(&in), ends[v])
                    << "reader and writer end apart, m=" << m << " v=" << v;
            }
        }
    }
}

TEST(BoundedCode, LargeBoundsReadBackAtTheirEdges) {
    for (int32_t m : {65535, 65536, 100000, 262143, 262144, 524287, 524288}) {
        std::vector<int32_t> values = {0, 1, 2, m / 2, m - 2, m - 1, m};
        reset_level_stream(&stream);
        put_bit(&stream, 1);  // start in the middle of a byte
        for (int32_t v : values) put_bounded(&stream, v, m);
        InputStream in = input_over(stream);
        read_bit(&in);
        for (int32_t v : values) ASSERT_EQ(get_bounded(&in, m), v) << "m=" << m;
        EXPECT_FALSE(overran(&in));
    }
    EXPECT_EQ(code_of(65535, 65535).size(), 16u);
    EXPECT_EQ(code_of(1, 524288).size(), 19u);
    EXPECT_EQ(code_of(524287, 524288).size(), 19u);
}

// Thousands of codes under bounds of every size after one another, from
// every bit offset: the reader's loads overlap, so a value read from bits
// loaded twice, or from a load that comes short, shows up here.
TEST(BoundedCode, AMixedStreamReadsBackAcrossItsLoads) {
    uint32_t state = 77;
    auto next = [&state]() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
    for (int offset = 0; offset < 8; ++offset) {
        reset_level_stream(&stream);
        for (int i = 0; i < offset; ++i) put_bit(&stream, i & 1);
        std::vector<std::pair<int32_t, int32_t>> codes;
        int32_t bits = offset;
        while (bits < 8 * (kStreamCapacity - 8)) {
            int32_t m = static_cast<int32_t>(next() % (next() % 3 == 0 ? 524289u : 300u));
            int32_t v = m > 0 ? static_cast<int32_t>(next() % static_cast<uint32_t>(m + 1)) : 0;
            put_bounded(&stream, v, m);
            codes.emplace_back(v, m);
            bits = bits_in(&stream);
        }
        InputStream in = input_over(stream);
        for (int i = 0; i < offset; ++i) ASSERT_EQ(read_bit(&in), i & 1);
        for (const auto& [v, m] : codes) ASSERT_EQ(get_bounded(&in, m), v) << "m=" << m << " offset=" << offset;
        EXPECT_EQ(bits_read(&in), bits);
        EXPECT_FALSE(overran(&in));
        // Past the codes: the rest of the last byte, then the end, read as 0;
        // the reader is overrun once it has taken a bit beyond the data.
        while (bits_read(&in) < 8 * static_cast<int64_t>(used_length(&stream)) + 100) {
            int64_t before = bits_read(&in);
            ASSERT_EQ(get_bounded(&in, 300000), 0);
            ASSERT_EQ(overran(&in), bits_read(&in) > 8 * static_cast<int64_t>(used_length(&stream)))
                << "from bit " << before;
        }
    }
}

// The tabled shapes give every code of put_bounded: its bits, its length,
// and the value read back from it, whatever bits follow it.
TEST(BoundedCode, TheShapesOfSmallBoundsGiveTheirCodes) {
    for (int32_t m = 0; m <= kShapedBounds; ++m) {
        const CodeShape& shape = kCodeShapes[m];
        for (int32_t v = 0; v <= m; ++v) {
            std::string code = code_of(v, m);
            uint32_t short_bits = static_cast<uint32_t>(v) & shape.short_mask;
            bool long_code = short_bits < shape.long_end;
            ASSERT_EQ(code.size(), shape.short_length + (long_code ? 1u : 0u)) << "m=" << m << " v=" << v;
            uint32_t stream_bits = 0;
            for (size_t i = 0; i < code.size(); ++i) stream_bits |= (code[i] == '1' ? 1u : 0u) << i;
            for (uint32_t after : {0u, ~0u}) {
                uint32_t window = (stream_bits | after << code.size()) & shape.long_mask;
                uint32_t read = window & shape.short_mask;
                uint32_t value = read < shape.long_end ? window : read;
                ASSERT_EQ(value, static_cast<uint32_t>(v)) << "m=" << m << " after=" << after;
            }
        }
    }
}

TEST(BoundedCode, ACodeBegunAtTheLastBitOfAByteContinuesInTheNext) {
    reset_level_stream(&stream);
    for (int i = 0; i < 7; ++i) put_bit(&stream, 0);
    put_bounded(&stream, 5, 7);  // bits 101
    EXPECT_EQ(stream.buffer[0], 0x01);
    EXPECT_EQ(stream.buffer[1], 0x40);
    EXPECT_EQ(used_length(&stream), 2);
}

TEST(BoundedCode, AReaderNeverTakesBitsBeyondItsData) {
    uint8_t data[1 + kInputPadding] = {0xFF};
    InputStream in = open_input(data, 1);
    EXPECT_EQ(get_bounded(&in, 255), 255);
    EXPECT_FALSE(overran(&in));
    EXPECT_EQ(get_bounded(&in, 255), 0);
    EXPECT_TRUE(overran(&in));
    uint8_t padding_only[kInputPadding] = {};
    InputStream empty = open_input(padding_only, 0);
    EXPECT_EQ(get_bounded(&empty, 1), 0);
    EXPECT_TRUE(overran(&empty));
}

}  // namespace
