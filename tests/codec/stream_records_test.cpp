// A block's records read from a file: each lands in its own stream, turned
// around and with zero padding behind it, and the reading stops where the
// block ends.
#include <gtest/gtest.h>

#include <cstring>

#include "codec/bit_stream.h"
#include "codec/job_files.h"
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

CodecStatus read_from(const TempDir& dir, const Bytes& file, InputStream input[20]) {
    write_file(dir.file("records"), file);
    OFSTRUCT of;
    input_file = OpenFile(dir.file("records").c_str(), &of, OF_READ);
    return read_block_records(1000, input);
}

const std::vector<size_t> kLengths = {0, 1, 3, 7, 8, 9, 31, 64, 0, 5, 2};

TEST(BlockRecords, EachRecordLandsInItsStreamAndTheNextBlockIsLeftUnread) {
    ASSERT_EQ(record_count(1000), static_cast<int>(kLengths.size()));
    RecordFile f = record_file(kLengths);
    TempDir dir;
    InputStream input[20];
    ASSERT_EQ(read_from(dir, f.file, input), CodecStatus::ok);
    for (size_t r = 0; r < kLengths.size(); ++r) {
        const InputStream& in = input[20 - kLengths.size() + r];
        ASSERT_EQ(in.length, static_cast<int32_t>(kLengths[r])) << r;
        for (size_t k = 0; k < kLengths[r]; ++k) {
            ASSERT_EQ(in.data[k], kReversedByte[f.records[r][k]]) << r << " " << k;
        }
        // The length of the record after it was read into this padding.
        for (int k = 0; k < kInputPadding; ++k) ASSERT_EQ(in.data[kLengths[r] + k], 0) << r << " " << k;
    }
    uint8_t next[4];
    EXPECT_EQ(_lread(input_file, next, 4), 4u);
    EXPECT_EQ(std::memcmp(next, "\xAA\xBB\xCC\xDD", 4), 0);
    free_block_records(input);
    _lclose(input_file);
    input_file = HFILE_ERROR;
}

TEST(BlockRecords, AFileCutAnywhereInsideTheBlockIsRefused) {
    RecordFile f = record_file(kLengths);
    size_t block_end = f.file.size() - 4;
    TempDir dir;
    for (size_t cut = 0; cut < block_end; ++cut) {
        InputStream input[20];
        Bytes cut_file(f.file.begin(), f.file.begin() + static_cast<long>(cut));
        EXPECT_EQ(read_from(dir, cut_file, input), CodecStatus::damaged) << cut;
        free_block_records(input);
        _lclose(input_file);
        input_file = HFILE_ERROR;
    }
}

}  // namespace
