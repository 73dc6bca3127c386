// The bit stream on its own: the order of bits in a stream's bytes, its
// used length and reset, the writer that gathers codes in an accumulator,
// and the reader that turns a record around and reads it in stream order.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "codec/bit_stream.h"
#include "codec/working_state.h"
#include "tests/codec/stream_bits.h"
#include "tests/support/codec_runs.h"

// The codec state that this file's cases code their blocks in.
static CodecState* const state = new_codec_state();

namespace {

TEST(LevelStreamBits, UsedLengthCountsEveryTouchedByte) {
    LevelStream& s = state->level_streams[3];
    reset_level_stream(&s);
    EXPECT_EQ(used_length(&s), 0);
    for (int i = 0; i < 8; ++i) put_bit(&s, 0);
    EXPECT_EQ(used_length(&s), 1);
    EXPECT_EQ(s.mask, kFreshMask);
    put_bit(&s, 0);
    EXPECT_EQ(used_length(&s), 2);
}

TEST(LevelStreamBits, BitsFillBytesFromTheMostSignificantEnd) {
    LevelStream& s = state->level_streams[3];
    reset_level_stream(&s);
    put_bit(&s, 1);
    put_bit(&s, 0);
    put_bit(&s, 1);
    EXPECT_EQ(s.buffer[0], 160);
    EXPECT_EQ(used_length(&s), 1);
}

TEST(LevelStreamBits, AResetClearsEveryByteThatWasWritten) {
    LevelStream& s = state->level_streams[4];
    reset_level_stream(&s);
    for (int i = 0; i < 8 * 1000 + 3; ++i) put_bit(&s, 1);
    reset_level_stream(&s);
    for (int i = 0; i < kStreamCapacity; ++i) ASSERT_EQ(s.buffer[i], 0) << i;
    EXPECT_EQ(used_length(&s), 0);
}

// Codes of every length from every bit offset, gathered by a writer and
// turned around when it closes, against the same bits put one at a time.
TEST(LevelWriters, ClosedWritersHoldTheBitsPutOneByOne) {
    Bytes noise = random_bytes(4096, 7u);
    for (int offset = 0; offset < 8; ++offset) {
        for (int codes : {0, 1, 3, 8, 31, 200}) {
            LevelStream* fast = &state->level_streams[0];
            LevelStream* slow = &state->level_streams[1];
            reset_level_streams(state);
            for (int k = 0; k < offset; ++k) {
                put_bit(fast, k & 1);
                put_bit(slow, k & 1);
            }
            LevelWriter writer = open_writer(fast);
            for (int c = 0; c < codes; ++c) {
                int length = noise[2 * c] % 26;
                uint32_t value = (noise[2 * c + 1] * 2654435761u) & ((1u << length) - 1);
                write_bits(writer, value, length);
                for (int b = 0; b < length; ++b) put_bit(slow, (value >> b) & 1);
            }
            close_writer(fast, writer);
            ASSERT_EQ(bit_string(fast), bit_string(slow)) << offset << " " << codes;
            ASSERT_EQ(fast->mask, slow->mask);
        }
    }
    reset_level_streams(state);
}

// The writer stores its low word after every code, full or not.  A stream
// filled to one bit short of its capacity keeps every word inside its
// buffer: the bits come back, the bytes past them stay 0, and the fields
// behind the buffer are never written.
TEST(LevelWriters, AStreamFilledToItsCapacityStaysInItsBuffer) {
    LevelStream* s = &state->level_streams[4];
    reset_level_stream(s);
    // The bytes between the buffer and the position behind it (alignment).
    uint8_t* behind = s->buffer + kStreamCapacity;
    const size_t gap = static_cast<size_t>(reinterpret_cast<uint8_t*>(&s->position) - behind);
    ASSERT_GE(gap, 4u);
    std::memset(behind, 0xA5, gap);
    LevelWriter writer = open_writer(s);
    const int64_t total = int64_t{8} * kStreamCapacity - 1;
    Bytes noise = random_bytes(1 << 16, 11u);
    int64_t written = 0;
    for (int c = 0; written < total; ++c) {
        int length = static_cast<int>(noise[c % noise.size()] % 26);
        if (written + length > total) length = static_cast<int>(total - written);
        write_bits(writer, (1u << length) - 1, length);  // ones, so that every bit shows
        written += length;
        write_bits(writer, 0, 0);  // a code of no bits, as a bound of 0 gives
    }
    close_writer(s, writer);
    EXPECT_EQ(used_length(s), kStreamCapacity);
    EXPECT_EQ(s->position, s->buffer + kStreamCapacity - 1);
    EXPECT_EQ(s->mask, 1);
    for (int k = 0; k < kStreamCapacity - 1; ++k) ASSERT_EQ(s->buffer[k], 0xFF) << k;
    EXPECT_EQ(s->buffer[kStreamCapacity - 1], 0xFE);
    for (size_t k = 0; k < gap; ++k) EXPECT_EQ(behind[k], 0xA5) << k;
    reset_level_stream(s);
    EXPECT_EQ(used_length(s), 0);
}

// Records of every length up to a few vectors: the first bit of each byte in
// stream order is its most significant one, whichever word or vector it
// falls in, past the data there are only zero bits, however far the last
// word reaches, and nothing beyond the padding is touched.
TEST(InputStreams, RecordsOfEveryLengthReadInStreamOrder) {
    for (int32_t length = 0; length <= 100; ++length) {
        std::vector<uint8_t> data(static_cast<size_t>(length) + kInputPadding + 1, 0);
        for (int32_t k = 0; k < length; ++k) data[k] = static_cast<uint8_t>(37 * k + 11 * length + 5);
        data.back() = 0x35;
        std::vector<uint8_t> original = data;
        InputStream in = open_input(data.data(), length);
        EXPECT_EQ(data.back(), 0x35) << length;
        for (int32_t k = 0; k < length; ++k) {
            for (int bit = 7; bit >= 0; --bit) {
                ASSERT_EQ(read_bit(&in), (original[k] >> bit) & 1) << length << " " << k << " " << bit;
            }
        }
        EXPECT_FALSE(overran(&in)) << length;
        for (int k = 0; k < 8 * kInputPadding; ++k) ASSERT_EQ(read_bit(&in), 0) << length;
        EXPECT_TRUE(overran(&in)) << length;
    }
}

}  // namespace
