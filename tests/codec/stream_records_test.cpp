// A block's records read in order from a source that only goes forward:
// each lands in its own stream, turned around and with zero padding behind
// it, and the reading stops where the block ends.
#include <gtest/gtest.h>

#include <cstring>

#include "codec/bit_stream.h"
#include "codec/stream_records.h"
#include "tests/support/temp_files.h"

namespace {

// The records of a block of 1000 bytes (11 records), of the given lengths,
// then four bytes that belong to the next block.
struct RecordFile {
    std::vector<Bytes> records;
    Bytes file;
};

RecordFile record_file(const std::vector<size_t>& lengths) {
    RecordFile f;
    uint32_t state = 7;
    for (size_t length : lengths) {
        Bytes record = random_bytes(length, state++);
        for (int k = 0; k < 4; ++k) f.file.push_back(static_cast<uint8_t>(length >> (8 * k)));
        f.file.insert(f.file.end(), record.begin(), record.end());
        f.records.push_back(record);
    }
    f.file.insert(f.file.end(), {0xAA, 0xBB, 0xCC, 0xDD});
    return f;
}

// Bytes handed out in order, as a pipe would.
struct Source {
    const Bytes* bytes;
    size_t at;
};

bool read_source(void* source, uint8_t* data, int32_t length) {
    Source* s = static_cast<Source*>(source);
    size_t left = s->bytes->size() - s->at;
    size_t take = static_cast<size_t>(length) < left ? static_cast<size_t>(length) : left;
    if (take > 0) std::memcpy(data, s->bytes->data() + s->at, take);
    s->at += take;
    return take == static_cast<size_t>(length);
}

CodecStatus read_from(Source* source, std::vector<uint8_t>* buffer, InputStream input[20]) {
    buffer->assign(kMaxReadRecordBytes, 0xEE);
    return read_block_records(1000, read_source, source, buffer->data(), input);
}

const std::vector<size_t> kLengths = {0, 1, 3, 7, 8, 9, 31, 64, 0, 5, 2};

TEST(BlockRecords, EachRecordLandsInItsStreamAndTheNextBlockIsLeftUnread) {
    ASSERT_EQ(record_count(1000), static_cast<int>(kLengths.size()));
    RecordFile f = record_file(kLengths);
    Source source{&f.file, 0};
    std::vector<uint8_t> buffer;
    InputStream input[20];
    ASSERT_EQ(read_from(&source, &buffer, input), CodecStatus::ok);
    for (size_t r = 0; r < kLengths.size(); ++r) {
        const InputStream& in = input[20 - kLengths.size() + r];
        ASSERT_EQ(in.length, static_cast<int32_t>(kLengths[r])) << r;
        for (size_t k = 0; k < kLengths[r]; ++k) {
            ASSERT_EQ(in.data[k], kReversedByte[f.records[r][k]]) << r << " " << k;
        }
        // The length of the record after it was read into this padding.
        for (int k = 0; k < kInputPadding; ++k) ASSERT_EQ(in.data[kLengths[r] + k], 0) << r << " " << k;
    }
    EXPECT_EQ(source.at, f.file.size() - 4);
}

TEST(BlockRecords, AFileCutAnywhereInsideTheBlockIsRefused) {
    RecordFile f = record_file(kLengths);
    size_t block_end = f.file.size() - 4;
    std::vector<uint8_t> buffer;
    for (size_t cut = 0; cut < block_end; ++cut) {
        InputStream input[20];
        Bytes cut_file(f.file.begin(), f.file.begin() + static_cast<long>(cut));
        Source source{&cut_file, 0};
        EXPECT_EQ(read_from(&source, &buffer, input), CodecStatus::damaged) << cut;
    }
}

}  // namespace
