// Encoder then decoder gives back every byte, for the corpus, for lengths
// at and around the block boundaries, and for the extremes of content.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "codec/bounded_code.h"
#include "codec/stream_records.h"
#include "tests/support/codec_runs.h"

namespace {

void expect_round_trip(const Bytes& data, const std::string& what) {
    ASSERT_EQ(data.size() % 2, 0u) << what;
    Bytes records = encode_records(data);
    Decoded d = decode_records(records, static_cast<int32_t>(data.size()));
    ASSERT_EQ(d.status, CodecStatus::ok) << what;
    ASSERT_EQ(d.bytes.size(), data.size()) << what;
    EXPECT_TRUE(d.bytes == data) << what << ": bytes differ";
}

Bytes even(Bytes b) {
    if (b.size() % 2) b.pop_back();
    return b;
}

TEST(RoundTrip, EveryCorpusFileComesBack) {
    for (const std::string& name : corpus_names()) expect_round_trip(even(corpus_file(name)), name);
}

TEST(RoundTrip, LengthsAroundBlockBoundariesComeBack) {
    Bytes text = corpus_file("lcet10.txt");
    for (int32_t n : {0, 2, 4, 6, 8, 10, 65536, 65538, 262144, 524286, 524288, 524290, 1048576,
                      1048578, 1572866, 34, 4098, 777778}) {
        Bytes data(static_cast<size_t>(n));
        for (int32_t i = 0; i < n; ++i) data[i] = text[static_cast<size_t>(i) % text.size()];
        expect_round_trip(data, "length " + std::to_string(n));
    }
}

TEST(RoundTrip, ExtremesOfContentComeBack) {
    expect_round_trip(Bytes(1048576 + 6, 0), "all zero");
    expect_round_trip(Bytes(524288, 0xFF), "all 0xFF");
    expect_round_trip(random_bytes(1048576 + 1000, 12345), "random");
    Bytes all_values;
    for (int rep = 0; rep < 8; ++rep) {
        for (int v = 0; v < 256; ++v) all_values.push_back(static_cast<uint8_t>(v));
        for (int v = 255; v >= 0; --v) all_values.push_back(static_cast<uint8_t>(v));
    }
    expect_round_trip(all_values, "all 256 values");
    Bytes alternating(300000);
    for (size_t i = 0; i < alternating.size(); ++i) alternating[i] = (i / 3) % 2 ? 'x' : 'y';
    expect_round_trip(alternating, "alternating runs");
    // Runs that fill whole halves of spans of 128 to 1024 bytes, among
    // short ones: the largest bounds of the small spans' splits.
    Bytes halves;
    for (int k = 0; halves.size() < 300000; ++k) {
        size_t run = k % 5 == 4 ? 3 : static_cast<size_t>(64) << (k % 4);
        halves.insert(halves.end(), run, static_cast<uint8_t>("ab\x00\xff"[k % 4]));
    }
    halves.resize(300000);
    expect_round_trip(halves, "runs of whole halves");
}

// Every way of cutting eight bytes into runs (and so every way for their two
// halves of four), each with its bytes in many orders: small spans of every
// shape come back, whether the decoder splits them or looks them up.
TEST(RoundTrip, EveryShapeOfAnEightByteSpanComesBack) {
    Bytes data;
    Bytes order = random_bytes(128 * 64 * 8, 4242);
    size_t pick = 0;
    for (unsigned shape = 0; shape < 128; ++shape) {
        Bytes group;
        uint8_t symbol = 'a';
        for (int end = 1, start = 0; end <= 8; ++end) {
            if (end < 8 && (shape >> (end - 1) & 1) == 0) continue;
            group.insert(group.end(), static_cast<size_t>(end - start), symbol);
            symbol = static_cast<uint8_t>(symbol + 1 + order[pick++ % order.size()] % 3);
            start = end;
        }
        for (int variant = 0; variant < 64; ++variant) {
            for (int i = 7; i > 0; --i) std::swap(group[i], group[order[pick++ % order.size()] % (i + 1)]);
            data.insert(data.end(), group.begin(), group.end());
        }
    }
    expect_round_trip(data, "eight-byte spans of every shape");
    // The same spans inside longer ones and at the end of a short block.
    expect_round_trip(Bytes(data.begin(), data.begin() + 8 * 1000 + 6), "short block");
}

// Spans whose earlier half is one run and fills at once, at the start or at
// the end of the symbol order, leave all their other runs to the later
// half in one piece; and the other way round.
TEST(RoundTrip, AHalfThatFillsAtOnceLeavesTheRestToTheOther) {
    Bytes data;
    for (int span : {16, 32, 64, 128, 256, 512, 4096}) {
        for (uint8_t fill : {0, 255, 128}) {
            Bytes distinct;
            for (int i = 0; i < span / 2; ++i) {
                uint8_t b = static_cast<uint8_t>(1 + (i * 37) % 254);
                distinct.push_back(b == fill ? 7 : b);
            }
            Bytes run(static_cast<size_t>(span / 2), fill);
            data.insert(data.end(), run.begin(), run.end());
            data.insert(data.end(), distinct.begin(), distinct.end());
            data.insert(data.end(), distinct.begin(), distinct.end());
            data.insert(data.end(), run.begin(), run.end());
        }
    }
    expect_round_trip(data, "halves of one run beside halves of many");
}

// Spans of 512 bytes drawn from 1 to 256 symbols, evenly and skewed: the
// splits' walks leave their usual step at every point of their lists, and
// long lists load the split stream again in the middle of a walk.
TEST(RoundTrip, SpansOfAnyNumberOfSymbolsComeBack) {
    Bytes noise = random_bytes(512 * 256 * 2, 777);
    Bytes data;
    for (unsigned symbols = 1; symbols <= 256; ++symbols) {
        for (unsigned skewed = 0; skewed < 2; ++skewed) {
            for (int i = 0; i < 512; ++i) {
                unsigned r = noise[data.size()];
                unsigned pick = (skewed ? r * r >> 8 : r) % symbols;
                data.push_back(static_cast<uint8_t>(pick * (256 / symbols)));
            }
        }
    }
    expect_round_trip(data, "spans of 1 to 256 symbols");
}

// Lists of eight bytes wait until a batch of them is written; a list of
// two, four or six bytes at a block's end reads the same streams, and has
// to come after every list before it, however many wait.
TEST(RoundTrip, ShortListsAfterWaitingOnesComeBack) {
    Bytes text = corpus_file(corpus_names().front());
    for (int spans : {1, 31, 32, 33, 64, 65}) {
        for (int tail = 2; tail < 16; tail += 2) {
            Bytes data(text.begin(), text.begin() + 16 * spans + tail);
            expect_round_trip(data, std::to_string(spans) + " spans of 16 bytes and " + std::to_string(tail));
        }
    }
}

// Spans of 1024 to 4096 bytes in which one byte takes about half: the
// splits of the largest spans kept in arrays meet the bounds up to 2048
// and their codes of 12 bits, with the byte first or last in the order and
// its share of each half even, one-sided or shuffled.
TEST(RoundTrip, SpansWithTheLargestArrayBoundsComeBack) {
    Bytes noise = random_bytes(1 << 20, 4711);
    size_t pick = 0;
    Bytes data;
    for (int span : {1024, 2048, 4096}) {
        for (int count : {span / 2 - 1, span / 2, span / 2 + 1, span * 3 / 4}) {
            for (uint8_t fill : {0, 255}) {
                for (int order = 0; order < 3; ++order) {
                    Bytes part(static_cast<size_t>(count), fill);
                    while (part.size() < static_cast<size_t>(span)) {
                        uint8_t b = noise[pick++ % noise.size()];
                        if (b != fill) part.push_back(b);
                    }
                    if (order == 1) std::reverse(part.begin(), part.end());
                    if (order == 2) {
                        for (size_t i = part.size() - 1; i > 0; --i) {
                            unsigned r = noise[pick % noise.size()] | noise[(pick + 1) % noise.size()] << 8;
                            pick += 2;
                            std::swap(part[i], part[r % (i + 1)]);
                        }
                    }
                    data.insert(data.end(), part.begin(), part.end());
                }
            }
        }
    }
    expect_round_trip(data, "spans of 1024 to 4096 bytes with one byte of about half");
}

TEST(RoundTrip, ALongRunIsStoredInCountClassTwo) {
    Bytes data = random_bytes(70000, 99);
    for (size_t i = 2000; i < 68000; ++i) data[i] = 'R';
    expect_round_trip(data, "66000-byte run");
    Bytes records = encode_records(data);
    // Records: 4-byte length, then the root stream; find 'R' (0x52) with its
    // count class 2 (bits 01) in the root list.
    ASSERT_GT(records.size(), 8u);
    int32_t root_length = static_cast<int32_t>(get_le32(records.data()));
    records.resize(records.size() + kInputPadding, 0);
    InputStream root = open_input(records.data() + 4, root_length);
    ASSERT_EQ(get_bounded(&root, 524288), 70000);
    int32_t r = 70000;
    bool found = false;
    while (r > 0) {
        int symbol = get_bounded(&root, 255);
        int count_class = get_bounded(&root, 2);
        int32_t count = count_class == 0 ? get_bounded(&root, 255)
                        : count_class == 1 ? get_bounded(&root, 65535)
                                           : get_bounded(&root, r);
        if (symbol == 'R') {
            EXPECT_EQ(count_class, 2);
            EXPECT_GE(count, 66000);
            found = true;
        }
        r -= count;
    }
    EXPECT_TRUE(found);
}

}  // namespace
