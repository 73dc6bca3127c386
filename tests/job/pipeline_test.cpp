// The pipeline with one worker and with several: the same bytes whatever
// the number, the first damaged block in file order decides, a stop
// request is honoured between blocks, progress only moves forward, and
// expansion reads a pipe that cannot seek.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <thread>

#include "codec/working_state.h"
#include "job/pipeline.h"
#include "tests/support/temp_files.h"

namespace {

const int kThreadCounts[] = {1, 2, 3, 8};

struct JobRun {
    CodecStatus status;
    Bytes out;
    std::vector<int64_t> progress;
};

ptrdiff_t read_fd(void* user, void* buffer, size_t size) {
    return read(*static_cast<int*>(user), buffer, size);
}

int write_fd(void* user, const void* data, size_t size) {
    return write(*static_cast<int*>(user), data, size) == static_cast<ssize_t>(size) ? 0 : 1;
}

// Progress noted in a JobRun; the job is asked to stop once `stop_at`
// blocks are written (-1: never).
struct Watch {
    JobRun* run;
    int stop_at;
};

int note_progress(void* user, uint64_t done, uint64_t) {
    Watch* w = static_cast<Watch*>(user);
    w->run->progress.push_back(static_cast<int64_t>(done));
    return static_cast<int>(w->run->progress.size()) == w->stop_at;
}

CodecStatus run_fds(bool compress, int in, int out, int64_t size, int threads, Watch* watch) {
    JobIo io{read_fd, &in, write_fd, &out, note_progress, watch, 0, static_cast<uint64_t>(size)};
    return compress ? compress_blocks(io, size, threads) : expand_blocks(io, size, threads);
}

// Runs one direction from a file `in` of `bytes` to a file; stop_after
// asks the job to stop once that many blocks are written (-1: never).
JobRun run(bool compress, const Bytes& bytes, int32_t size, int threads, int stop_after = -1) {
    TempDir dir;
    write_file(dir.file("in"), bytes);
    int in = open(dir.file("in").c_str(), O_RDONLY);
    int out = open(dir.file("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    JobRun r;
    Watch watch{&r, stop_after};
    r.status = run_fds(compress, in, out, compress ? static_cast<int64_t>(bytes.size()) : size, threads, &watch);
    close(in);
    close(out);
    r.out = read_file(dir.file("out"));
    return r;
}

// The corpus cut to five blocks, noise and a run of one byte: nine blocks
// and a half.
Bytes mixed_input() {
    Bytes data;
    for (const std::string& name : corpus_names()) {
        Bytes f = corpus_file(name);
        data.insert(data.end(), f.begin(), f.end());
    }
    data.resize(5 * kBlockSize);
    Bytes noise = random_bytes(3 * kBlockSize, 11);
    data.insert(data.end(), noise.begin(), noise.end());
    data.insert(data.end(), kBlockSize + kBlockSize / 2, 'q');
    return data;
}

TEST(Pipeline, EveryNumberOfWorkersWritesTheSameBytesAndExpandsThemBack) {
    Bytes data = mixed_input();
    int32_t size = static_cast<int32_t>(data.size());
    JobRun one = run(true, data, 0, 1);
    ASSERT_EQ(one.status, CodecStatus::ok);
    for (int threads : kThreadCounts) {
        JobRun c = run(true, data, 0, threads);
        ASSERT_EQ(c.status, CodecStatus::ok) << threads;
        EXPECT_TRUE(c.out == one.out) << threads << " workers compress differently";
        JobRun e = run(false, one.out, size, threads);
        ASSERT_EQ(e.status, CodecStatus::ok) << threads;
        EXPECT_TRUE(e.out == data) << threads << " workers expand differently";
        // Progress counts blocks written in order, up to the whole.
        ASSERT_EQ(e.progress.size(), 10u);
        for (size_t k = 1; k < e.progress.size(); ++k) EXPECT_GT(e.progress[k], e.progress[k - 1]);
        EXPECT_EQ(e.progress.back(), size);
    }
}

TEST(Pipeline, TheFirstDamagedBlockIsReportedAndNothingBehindItIsWritten) {
    Bytes data = mixed_input();
    int32_t size = static_cast<int32_t>(data.size());
    Bytes records = run(true, data, 0, 1).out;
    // Blocks 0 to 2 are found by their records' lengths; the root stream
    // of block 3 then claims a block of another size.
    size_t at = 0;
    for (int block = 0; block < 3; ++block) {
        for (int r = 0; r < 20; ++r) {
            uint32_t length = records[at] | records[at + 1] << 8 | records[at + 2] << 16 |
                              static_cast<uint32_t>(records[at + 3]) << 24;
            at += 4 + length;
        }
    }
    Bytes damaged = records;
    damaged[at + 4] ^= 0x40;
    for (int threads : {1, 2, 8}) {
        JobRun e = run(false, damaged, size, threads);
        EXPECT_EQ(e.status, CodecStatus::damaged) << threads;
        ASSERT_EQ(e.out.size(), 3u * kBlockSize) << threads;
        EXPECT_TRUE(std::equal(e.out.begin(), e.out.end(), data.begin())) << threads;
    }
    Bytes cut(records.begin(), records.begin() + static_cast<long>(at) + 100);
    for (int threads : {1, 2}) {
        JobRun e = run(false, cut, size, threads);
        EXPECT_EQ(e.status, CodecStatus::damaged) << threads;
        EXPECT_EQ(e.out.size(), 3u * kBlockSize) << threads;
    }
}

TEST(Pipeline, AStopRequestEndsTheJobBetweenTwoBlocks) {
    Bytes data = mixed_input();
    for (int threads : {1, 2}) {
        JobRun after_two = run(true, data, 0, threads, 2);
        EXPECT_EQ(after_two.status, CodecStatus::stopped);
        EXPECT_EQ(after_two.progress, (std::vector<int64_t>{kBlockSize, 2 * kBlockSize}));
    }
}

TEST(Pipeline, ExpansionReadsAPipeForwardOnly) {
    Bytes data = mixed_input();
    Bytes records = run(true, data, 0, 1).out;
    for (int threads : {1, 2}) {
        int ends[2];
        ASSERT_EQ(pipe(ends), 0);
        std::thread feeder([&] {
            for (size_t at = 0; at < records.size(); at += 65536) {
                size_t n = std::min<size_t>(65536, records.size() - at);
                if (write(ends[1], records.data() + at, n) != static_cast<ssize_t>(n)) break;
            }
            close(ends[1]);
        });
        TempDir dir;
        int out = open(dir.file("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        JobRun r;
        Watch watch{&r, -1};
        CodecStatus status = run_fds(false, ends[0], out, static_cast<int64_t>(data.size()), threads, &watch);
        feeder.join();
        close(ends[0]);
        close(out);
        EXPECT_EQ(status, CodecStatus::ok) << threads;
        EXPECT_TRUE(read_file(dir.file("out")) == data) << threads;
    }
}

}  // namespace
