// The codec alone, timed in one process: a file is read into memory, then
// compressed and expanded several times over, and each direction's speed is
// printed as MB/s, median and spread.  Nothing but the block codec runs in
// those timed stretches: no files, no container, no progress.  Then the
// job's pipeline is timed file to file with one worker and with every
// processor, to show what reading, scheduling and writing add.  The same source
// builds as the Linux `codec_bench` and the Windows `codec_bench.exe`, so
// that the two builds' code can be timed side by side on the same input
// (bench/run_codec_bench.sh).
//
//   codec_bench FILE [RUNS]
//
// The last line is for scripts: "codec_bench <compress MB/s> <expand MB/s>
// <coded bytes> <checksum of the coded bytes>"; two builds that code alike
// print the same last two fields.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "codec/dec/block_decoder.h"
#include "codec/enc/block_encoder.h"
#include "codec/stream_records.h"
#include "codec/working_state.h"
#include "job/pipeline.h"
#include "platform/win32.h"
#include "system/processors.h"

using Buffer = std::vector<uint8_t>;

/**** The codec's two calls ****/

// Every block of `input` (of even length) as the records a compressed file
// holds, one block after another.
static CodecState* const state = new_codec_state();

static void compress_all(const Buffer& input, Buffer& coded) {
    coded.resize(input.size() / kBlockSize * kMaxBlockRecordBytes + kMaxBlockRecordBytes);
    size_t end = 0;
    for (size_t at = 0; at < input.size(); at += kBlockSize) {
        int32_t n = static_cast<int32_t>(std::min<size_t>(kBlockSize, input.size() - at));
        encode_block(state, input.data() + at, n);
        end += static_cast<size_t>(store_block_records(state, n, coded.data() + end));
    }
    coded.resize(end);
}

// The records are handed out in order, as from a file.
struct Source {
    const Buffer* bytes;
    size_t at;
};

static bool read_source(void* source, uint8_t* data, int32_t length) {
    Source* s = static_cast<Source*>(source);
    if (s->bytes->size() - s->at < static_cast<size_t>(length)) return false;
    if (length > 0) std::memcpy(data, s->bytes->data() + s->at, static_cast<size_t>(length));
    s->at += static_cast<size_t>(length);
    return true;
}

// The blocks of `coded` expanded into `output`, which has the input's size;
// false when the codec reports damage.
static bool expand_all(const Buffer& coded, Buffer& output) {
    static Buffer records(kMaxReadRecordBytes);
    Source source{&coded, 0};
    for (size_t at = 0; at < output.size(); at += kBlockSize) {
        int32_t n = static_cast<int32_t>(std::min<size_t>(kBlockSize, output.size() - at));
        InputStream input[20];
        if (read_block_records(n, read_source, &source, records.data(), input) != CodecStatus::ok) return false;
        if (decode_block(state, input, n, output.data() + at) != CodecStatus::ok) return false;
    }
    return true;
}

/**** Timing ****/

static double seconds_of(void (*job)(const void*), const void* data) {
    auto start = std::chrono::steady_clock::now();
    job(data);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Spread {
    double median, low, high;  // MB/s
};

static Spread speeds(std::vector<double> times, size_t bytes) {
    std::vector<double> rates;
    for (double t : times) rates.push_back(static_cast<double>(bytes) / 1e6 / t);
    std::sort(rates.begin(), rates.end());
    size_t n = rates.size();
    double median = n % 2 ? rates[n / 2] : (rates[n / 2 - 1] + rates[n / 2]) / 2;
    return Spread{median, rates.front(), rates.back()};
}

static uint64_t checksum(const Buffer& data) {
    uint64_t h = 14695981039346656037u;  // 64-bit FNV-1a
    for (uint8_t b : data) h = (h ^ b) * 1099511628211u;
    return h;
}

/**** The job's pipeline, file to file ****/

static ptrdiff_t read_file(void* user, void* buffer, size_t size) {
    UINT got = _lread(*static_cast<HFILE*>(user), buffer, static_cast<UINT>(size));
    return got == static_cast<UINT>(HFILE_ERROR) ? -1 : static_cast<ptrdiff_t>(got);
}

static int write_file(void* user, const void* data, size_t size) {
    UINT put = _lwrite(*static_cast<HFILE*>(user), static_cast<LPCSTR>(data), static_cast<UINT>(size));
    return put == size ? 0 : 1;
}

// Seconds for one pass of the pipeline with `threads` workers from the
// file `from` to the file `to`, `size` bytes (even) of the original.
// Negative when the pipeline fails.
static double pipeline_seconds(const char* from, const char* to, int threads, bool compress, int32_t size) {
    OFSTRUCT of;
    HFILE in = OpenFile(from, &of, OF_READ);
    HFILE out = OpenFile(to, &of, OF_CREATE);
    if (in == HFILE_ERROR || out == HFILE_ERROR) return -1;
    JobIo io{read_file, &in, write_file, &out, nullptr, nullptr, 0, static_cast<uint64_t>(size)};
    auto start = std::chrono::steady_clock::now();
    CodecStatus status = compress ? compress_blocks(io, size, threads) : expand_blocks(io, size, threads);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    _lclose(in);
    _lclose(out);
    return status == CodecStatus::ok ? seconds : -1;
}

// The input written to a file beside `name`, then compressed and expanded
// through the pipeline `runs` times with one worker and with every
// processor: what reading, scheduling and writing add to the codec.
static bool time_pipeline(const char* name, const Buffer& input, int runs) {
    std::string plain = std::string(name) + ".bench-in";
    std::string packed = std::string(name) + ".bench-packed";
    std::string back = std::string(name) + ".bench-back";
    std::FILE* f = std::fopen(plain.c_str(), "wb");
    if (f == nullptr || std::fwrite(input.data(), 1, input.size(), f) != input.size()) return false;
    std::fclose(f);
    bool ok = true;
    for (int threads : {1, 0}) {
        std::vector<double> ct, et;
        for (int k = 0; k < runs && ok; ++k) {
            int32_t size = static_cast<int32_t>(input.size() & ~size_t{1});
            int workers = threads == 0 ? usable_processors() : threads;
            ct.push_back(pipeline_seconds(plain.c_str(), packed.c_str(), workers, true, size));
            et.push_back(pipeline_seconds(packed.c_str(), back.c_str(), workers, false, size));
            ok = ct.back() > 0 && et.back() > 0;
        }
        if (!ok) break;
        Spread c = speeds(ct, input.size());
        Spread e = speeds(et, input.size());
        std::printf("pipeline, %s: compress %.1f MB/s, expand %.1f MB/s\n",
                    threads == 1 ? "one worker" : "every processor", c.median, e.median);
    }
    std::remove(plain.c_str());
    std::remove(packed.c_str());
    std::remove(back.c_str());
    return ok;
}

struct Job {
    const Buffer* input;
    Buffer* coded;
    Buffer* output;
    bool ok;
};

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: codec_bench FILE [RUNS]\n");
        return 2;
    }
    int runs = argc == 3 ? std::atoi(argv[2]) : 7;
    if (runs < 1) runs = 1;
    std::FILE* file = std::fopen(argv[1], "rb");
    if (file == nullptr) {
        std::fprintf(stderr, "ERROR: cannot open %s\n", argv[1]);
        return 1;
    }
    Buffer input;
    uint8_t chunk[1 << 16];
    for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) input.insert(input.end(), chunk, chunk + got);
    std::fclose(file);
    input.resize(input.size() & ~static_cast<size_t>(1));  // the codec codes pairs; a last odd byte is the container's
    if (input.empty()) {
        std::fprintf(stderr, "ERROR: %s holds fewer than 2 bytes\n", argv[1]);
        return 1;
    }

    Buffer coded, output(input.size());
    coded.reserve(input.size() + input.size() / 8 + 4096);
    Job job{&input, &coded, &output, true};
    auto compress = [](const void* p) {
        const Job* j = static_cast<const Job*>(p);
        compress_all(*j->input, *j->coded);
    };
    auto expand = [](const void* p) {
        Job* j = const_cast<Job*>(static_cast<const Job*>(p));
        j->ok = expand_all(*j->coded, *j->output) && j->ok;
    };
    // One round of each, untimed, brings the tables and the pages in.
    compress(&job);
    expand(&job);
    std::vector<double> ct, et;
    for (int k = 0; k < runs; ++k) {
        ct.push_back(seconds_of(compress, &job));
        et.push_back(seconds_of(expand, &job));
    }
    if (!job.ok || output != input) {
        std::fprintf(stderr, "ERROR: the expanded bytes differ from the input\n");
        return 1;
    }
    Spread c = speeds(ct, input.size());
    Spread e = speeds(et, input.size());
    std::printf("%zu bytes, %zu coded, %d runs\n", input.size(), coded.size(), runs);
    std::printf("compress %8.1f MB/s (%.1f to %.1f)\n", c.median, c.low, c.high);
    std::printf("expand   %8.1f MB/s (%.1f to %.1f)\n", e.median, e.low, e.high);
    if (!time_pipeline(argv[1], input, runs)) {
        std::fprintf(stderr, "ERROR: the pipeline failed\n");
        return 1;
    }
    std::printf("codec_bench %.2f %.2f %zu %016llx\n", c.median, e.median, coded.size(),
                static_cast<unsigned long long>(checksum(coded)));
    return 0;
}
