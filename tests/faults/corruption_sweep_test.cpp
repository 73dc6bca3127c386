// Damaged compressed files: every truncation and every single flipped bit
// of a few files that the program made itself.  The expand job must never
// crash (the sanitizer build watches every access), must never change the
// compressed file, and must end either in success with one restored file
// of the announced length, or in an "ERROR: " message with nothing left
// behind.  A truncated file can never succeed: every byte of a file the
// program wrote is needed.
#include <gtest/gtest.h>

#include <unistd.h>

#include "tests/faults/job_runs.h"

namespace {

struct Sample {
    const char* name;  // the uncompressed file's name
    Bytes bytes;
};

std::vector<Sample> samples() {
    Bytes text = corpus_file("alice29.txt");
    Bytes excerpt(text.begin() + 1000, text.begin() + 1301);  // odd: a raw first byte
    return {
        {"notes.txt", bytes_of("hello")},
        {"ten.bin", bytes_of("aaaabbbbcd")},
        {"excerpt.txt", excerpt},
        {"same", Bytes(1000, 'z')},
        {"noise.dat", random_bytes(200, 73)},
    };
}

// Compresses the sample with the compress job and returns the file's bytes.
Bytes compressed_form(const Sample& sample) {
    TempDir dir;
    write_file(dir.file(sample.name), sample.bytes);
    JobRun run = run_compress_job(dir.file(sample.name));
    EXPECT_FALSE(run.failed) << run.message;
    std::vector<std::string> entries = folder_entries(dir.path());
    for (const std::string& entry : entries) {
        if (entry != sample.name) return read_file(dir.file(entry));
    }
    ADD_FAILURE() << "no compressed file for " << sample.name;
    return {};
}

uint32_t announced_length(const Bytes& file) {
    size_t at = 1 + ((file[0] & 2) ? 1 : 0) + ((file[0] & 1) ? 3 : 0);
    return file[at] | file[at + 1] << 8 | file[at + 2] << 16 | static_cast<uint32_t>(file[at + 3]) << 24;
}

struct Tally {
    int cases = 0;
    int expanded = 0;
    int refused = 0;
};

// Expands `damaged` as case.q73 in `dir` and checks the outcome; the folder
// is emptied again afterwards.
void expand_damaged(const TempDir& dir, const Bytes& damaged, const std::string& what,
                    bool must_fail, Tally* tally) {
    const std::string path = dir.file("case.q73");
    write_file(path, damaged);
    JobRun run = run_expand_job(path);
    std::vector<std::string> entries = folder_entries(dir.path());
    ++tally->cases;
    EXPECT_FALSE(run.output_left_open) << what;
    EXPECT_EQ(read_file(path), damaged) << what << ": the compressed file changed";
    if (run.failed) {
        ++tally->refused;
        EXPECT_EQ(run.message.rfind("ERROR: ", 0), 0u) << what << ": message '" << run.message << "'";
        EXPECT_EQ(entries, std::vector<std::string>{"case.q73"}) << what << ": output left behind";
    } else {
        ++tally->expanded;
        EXPECT_FALSE(must_fail) << what << " was expanded";
        EXPECT_TRUE(run.message.empty()) << what << ": success with message " << run.message;
        ASSERT_EQ(entries.size(), 2u) << what;
        std::string restored = entries[0] == "case.q73" ? entries[1] : entries[0];
        EXPECT_EQ(read_file(dir.file(restored)).size(), announced_length(damaged)) << what;
    }
    for (const std::string& entry : entries) unlink(dir.file(entry).c_str());
}

TEST(CorruptionSweep, TheUndamagedSamplesExpandToTheirBytes) {
    for (const Sample& sample : samples()) {
        TempDir dir;
        write_file(dir.file("case.q73"), compressed_form(sample));
        JobRun run = run_expand_job(dir.file("case.q73"));
        ASSERT_FALSE(run.failed) << sample.name << ": " << run.message;
        std::vector<std::string> entries = folder_entries(dir.path());
        ASSERT_EQ(entries.size(), 2u);
        std::string restored = entries[0] == "case.q73" ? entries[1] : entries[0];
        EXPECT_EQ(read_file(dir.file(restored)), sample.bytes) << sample.name;
    }
}

TEST(CorruptionSweep, EveryTruncationIsRefusedAndLeavesNothing) {
    TempDir dir;
    Tally tally;
    for (const Sample& sample : samples()) {
        Bytes whole = compressed_form(sample);
        for (size_t cut = 0; cut < whole.size(); ++cut) {
            Bytes damaged(whole.begin(), whole.begin() + static_cast<long>(cut));
            expand_damaged(dir, damaged, std::string(sample.name) + " cut to " + std::to_string(cut),
                           true, &tally);
        }
    }
    EXPECT_EQ(tally.expanded, 0);
    std::printf("truncations: %d cases, %d refused\n", tally.cases, tally.refused);
}

// Where each stream record of a compressed file begins.
std::vector<size_t> record_offsets(const Bytes& file) {
    size_t at = 1 + ((file[0] & 2) ? 1 : 0) + ((file[0] & 1) ? 3 : 0) + 4;
    std::vector<size_t> offsets;
    while (at + 4 <= file.size()) {
        offsets.push_back(at);
        at += 4 + (file[at] | file[at + 1] << 8 | file[at + 2] << 16 | file[at + 3] << 24);
    }
    EXPECT_EQ(at, file.size()) << "records do not end with the file";
    return offsets;
}

TEST(CorruptionSweep, ARecordMissingItsLastByteIsRefusedEvenWhenTheRestLinesUp) {
    // The record's length says one byte less and the byte is gone, so every
    // later record is still found where it should be; but the last byte of
    // a record always holds bits that the decoding takes.
    TempDir dir;
    Tally tally;
    for (const Sample& sample : samples()) {
        Bytes whole = compressed_form(sample);
        for (size_t at : record_offsets(whole)) {
            uint32_t length = whole[at] | whole[at + 1] << 8 | whole[at + 2] << 16 |
                              static_cast<uint32_t>(whole[at + 3]) << 24;
            if (length == 0) continue;
            Bytes damaged = whole;
            damaged.erase(damaged.begin() + static_cast<long>(at + 4 + length - 1));
            uint32_t shorter = length - 1;
            for (int i = 0; i < 4; ++i) damaged[at + i] = static_cast<uint8_t>(shorter >> (8 * i));
            expand_damaged(dir, damaged,
                           std::string(sample.name) + " record at " + std::to_string(at) + " shortened",
                           true, &tally);
        }
    }
    EXPECT_EQ(tally.expanded, 0);
    EXPECT_GT(tally.cases, 10);
    std::printf("shortened records: %d cases, %d refused\n", tally.cases, tally.refused);
}

TEST(CorruptionSweep, EveryFlippedBitEitherExpandsOrIsRefusedCleanly) {
    TempDir dir;
    Tally tally;
    for (const Sample& sample : samples()) {
        Bytes whole = compressed_form(sample);
        for (size_t bit = 0; bit < whole.size() * 8; ++bit) {
            Bytes damaged = whole;
            damaged[bit / 8] ^= static_cast<uint8_t>(0x80 >> (bit % 8));
            expand_damaged(dir, damaged,
                           std::string(sample.name) + " bit " + std::to_string(bit) + " flipped",
                           false, &tally);
        }
    }
    // Most flips break the records; a flip in a value that stays within its
    // bound expands to other bytes of the same length.
    EXPECT_GT(tally.refused, tally.cases / 2);
    std::printf("flipped bits: %d cases, %d refused, %d expanded\n", tally.cases, tally.refused,
                tally.expanded);
}

}  // namespace
