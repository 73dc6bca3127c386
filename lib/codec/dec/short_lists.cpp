#include "codec/dec/short_lists.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "codec/bit_stream.h"
#include "codec/bounded_code.h"
#include "codec/byte_order.h"
#include "codec/dec/small_list.h"
#include "codec/dec/split_walk.h"
#include "codec/pick.h"

/**** Lists of two and four bytes ****/

// Writes a 2-byte list whose runs are symbols[i0] and symbols[i1], i0 <= i1
// (equal for one run of count 2).  Two runs take the order bit, 1 when the
// smaller byte comes first; one run takes none, since its bound is 0.  The
// caller has topped the order stream up for this pair and those that
// follow it.
static inline void put_pair(uint8_t* out, const uint8_t* symbols, unsigned i0, unsigned i1,
                            InputStream* orders) {
    uint32_t distinct = i0 != i1;
    uint32_t smaller_first = static_cast<uint32_t>(orders->bits) & distinct;
    orders->bits >>= distinct;
    orders->avail -= static_cast<int>(distinct);
    out[0] = symbols[pick(smaller_first, i0, i1)];
    out[1] = symbols[pick(smaller_first, i1, i0)];
}

// How a 4-byte list splits into its two pairs depends only on its counts
// and on the next few bits of the split stream.  The counts are named by
// their shape, one bit for every place before the end where a run ends;
// for every shape and every value of the next kQuadPeekBits bits, the
// split is found by running split_small on a stand-in list whose symbols
// are its run numbers.
constexpr int kQuadPeekBits = 4;

static void pair_runs(const SmallList& pair, uint8_t runs[2]) {
    runs[0] = pair.symbol[0];
    runs[1] = pair.symbol[pair.runs - 1];
}

// Splits the stand-in list of `total` bytes (4 or 8) of the given shape,
// whose symbols are its run numbers, with `peek` as the next bits of the
// split stream; returns the bits the split took.
static int64_t split_stand_in(unsigned shape, int total, unsigned peek, SmallList halves[2]) {
    SmallList list;
    list.runs = 0;
    for (int end = 1, start = 0; end <= total; ++end) {
        if (end < total && (shape >> (end - 1) & 1) == 0) continue;
        list.symbol[list.runs] = static_cast<uint8_t>(list.runs);
        list.count[list.runs++] = static_cast<uint16_t>(end - start);
        start = end;
    }
    mark_end(list);
    uint8_t bits[1 + kInputPadding] = {kReversedByte[peek]};
    InputStream in = open_input(bits, 1);
    split_small<true>(list, total / 2, total / 2, &in, halves);
    return bits_read(&in);
}

// A 4-byte list written whole: for every shape, every value of the next
// kQuadPeekBits split bits and of the next two order bits, which run gives
// each of the four bytes (byte i of the entry, bits 0-1), the split bits
// taken (byte 0, bits 4-6) and the order bits taken (byte 1, bits 4-5), as
// the split and then the two pairs' order bits decide them.  Order bits
// beyond those taken change nothing.  A byte's run number thus stays in its
// low four bits, which is all that a byte shuffle looks at.
static uint32_t quad_runs[8][1 << kQuadPeekBits][4];

static inline unsigned quad_split_bits(uint32_t entry) { return entry >> 4 & 7; }
static inline unsigned quad_order_bits(uint32_t entry) { return entry >> 12 & 3; }

static bool build_quad_splits() {
    for (unsigned shape = 0; shape < 8; ++shape) {
        for (unsigned peek = 0; peek < (1u << kQuadPeekBits); ++peek) {
            SmallList halves[2];
            int64_t taken = split_stand_in(shape, 4, peek, halves);
            if (taken > kQuadPeekBits) return false;
            uint8_t early[2];
            uint8_t late[2];
            pair_runs(halves[0], early);
            pair_runs(halves[1], late);
            for (unsigned orders = 0; orders < 4; ++orders) {
                // Both pairs written by put_pair with run numbers for symbols.
                static constexpr uint8_t kRunNumbers[4] = {0, 1, 2, 3};
                uint8_t bits[1 + kInputPadding] = {kReversedByte[orders]};
                InputStream in = open_input(bits, 1);
                top_up(&in);
                uint8_t runs[4];
                put_pair(runs, kRunNumbers, early[0], early[1], &in);
                put_pair(runs + 2, kRunNumbers, late[0], late[1], &in);
                uint32_t entry = runs[0] | runs[1] << 8 | runs[2] << 16 | static_cast<uint32_t>(runs[3]) << 24;
                quad_runs[shape][peek][orders] =
                    entry | static_cast<uint32_t>(taken) << 4 | static_cast<uint32_t>(bits_read(&in)) << 12;
            }
        }
    }
    return true;
}

// A split of four bytes never takes more than kQuadPeekBits bits; a build
// that found otherwise would decode wrongly, so it stops at start-up.
static const bool quad_splits_built = build_quad_splits() || (std::abort(), false);

// The shape of a list of steps + 1 bytes (at most 8): bit i is set when a
// run ends after byte i + 1 and another follows.  Fixed steps instead of a
// loop over the runs, whose number the branches could not guess; counts
// beyond the last run are read but change nothing.
static constexpr unsigned shape_of(const uint16_t* counts, int steps) {
    // A bit at every run's end: the last run's end is byte steps + 1 and
    // falls outside the shape, and so do the sums of the counts past it,
    // each count taken as at most 8 (those cells hold the end mark or
    // older runs).
    uint64_t ends = 0;
    unsigned sum = 0;
    for (int k = 0; k < steps; ++k) {
        unsigned count = counts[k];
        sum += count < 8 ? count : 8;
        ends |= uint64_t{1} << (sum - 1);
    }
    return static_cast<unsigned>(ends) & ((1u << steps) - 1);
}

// The entry of the 4-byte list of the given shape, whose split and order
// bits come next in the two streams; takes those bits.  The caller has
// topped both streams up for it and the lists that follow it; a 4-byte list
// takes at most 4 split bits and 2 order bits.
static inline uint32_t take_quad(unsigned shape, InputStream* splits, InputStream* orders) {
    uint32_t entry = quad_runs[shape & 7][splits->bits & ((1u << kQuadPeekBits) - 1)][orders->bits & 3];
    splits->bits >>= quad_split_bits(entry);
    splits->avail -= static_cast<int>(quad_split_bits(entry));
    orders->bits >>= quad_order_bits(entry);
    orders->avail -= static_cast<int>(quad_order_bits(entry));
    return entry;
}

// Writes the 4-byte list of the given shape whose runs are symbols[0..].
static inline void put_quad_runs(const uint8_t* symbols, unsigned shape, InputStream* splits,
                                 InputStream* orders, uint8_t* out) {
    uint32_t entry = take_quad(shape, splits, orders);
    for (int i = 0; i < 4; ++i) out[i] = symbols[entry >> (8 * i) & 3];
}

static void put_quad(const SmallList& list, InputStream* splits, InputStream* orders, uint8_t* out) {
    InputStream local_splits = *splits;
    InputStream local_orders = *orders;
    top_up(&local_splits);
    top_up(&local_orders);
    put_quad_runs(list.symbol, shape_of(list.count, 3), &local_splits, &local_orders, out);
    *splits = local_splits;
    *orders = local_orders;
}

/**** Lists of eight bytes ****/

// The split of an 8-byte list into its two 4-byte halves likewise depends
// only on its shape (7 bits) and the next few bits of the split stream.  A
// code takes at most the bit length of its run's count, and the last run
// none, so a shape's split takes at most the sum of those lengths for all
// runs but the last (at most 8): each shape has a row of entries for all
// values of that many bits, and the rows stand one after the other (27 KB
// where rows of 8 bits would take 128 KB).  An entry holds the bits taken
// (bits 0-3) and, for each half, which of the list's runs it has (a mask,
// bits 4-11 and 16-23) and its own shape (bits 12-14 and 24-26).  The
// entries are worked out when the program is built, by the split's walk
// written out once more for constant evaluation; a test checks every one
// of them against split_small on stand-in lists as above.
struct OctetRows {
    uint32_t row[128];  // first entry (bits 0-15) and the mask of the bits looked at (bits 16-23)
    int entries;
    constexpr OctetRows() : row(), entries(0) {
        for (unsigned shape = 0; shape < 128; ++shape) {
            int bits = 0;
            for (int end = 1, start = 0; end < 8; ++end) {
                if ((shape >> (end - 1) & 1) == 0) continue;
                for (int count = end - start; count != 0; count >>= 1) ++bits;
                start = end;
            }
            bits = bits < 8 ? bits : 8;
            row[shape] = static_cast<uint32_t>(entries) | ((1u << bits) - 1) << 16;
            entries += 1 << bits;
        }
    }
};

static constexpr OctetRows kOctetRows;

// The fields of one half in an entry: which runs it has and its shape.
static constexpr uint32_t octet_half_fields(uint32_t runs, const uint16_t* counts, int side) {
    return (runs | shape_of(counts, 3) << 8) << (4 + 12 * side);
}

// Stops a constant evaluation that reaches it: a split that took more bits
// than its row looks at would be decoded wrongly.
static void split_beyond_its_row() {}

// The entry of an 8-byte list of `runs` runs with these counts, split into
// halves of four with `peek` as the next split bits: the walk of
// split_small, each run's share read under the bound of its least and most
// share, until a half is full and the other takes the remaining runs.
static constexpr uint32_t octet_split_entry_of(const int counts[8], int runs, unsigned peek) {
    int rem0 = 4;
    int rem1 = 4;
    unsigned taken = 0;
    uint32_t masks[2] = {0, 0};
    uint16_t half_counts[2][8] = {};
    int half_runs[2] = {0, 0};
    int k = 0;
    for (; k < runs && rem0 != 0 && rem1 != 0; ++k) {
        int q = counts[k];
        int low = q > rem1 ? q - rem1 : 0;
        int bound = (q < rem0 ? q : rem0) - low;
        CodeShape shape = code_shape_of(static_cast<uint32_t>(bound));
        unsigned v = (peek >> taken) & shape.long_mask;
        unsigned short_bits = v & shape.short_mask;
        bool long_code = short_bits < shape.long_end;
        taken += shape.short_length + (long_code ? 1 : 0);
        int a = low + static_cast<int>(long_code ? v : short_bits);
        int shares[2] = {a, q - a};
        for (int side = 0; side < 2; ++side) {
            if (shares[side] == 0) continue;
            masks[side] |= 1u << k;
            half_counts[side][half_runs[side]++] = static_cast<uint16_t>(shares[side]);
        }
        rem0 -= a;
        rem1 -= q - a;
    }
    int rest = rem0 != 0 ? 0 : 1;
    for (; k < runs; ++k) {
        masks[rest] |= 1u << k;
        half_counts[rest][half_runs[rest]++] = static_cast<uint16_t>(counts[k]);
    }
    uint32_t entry = taken;
    for (int side = 0; side < 2; ++side) {
        // A half has at least one run, and the cells past its runs hold 0.
        entry |= octet_half_fields(masks[side], half_counts[side], side);
    }
    return entry;
}

struct OctetSplits {
    uint32_t entry[kOctetRows.entries];
    constexpr OctetSplits() : entry() {
        for (unsigned shape = 0; shape < 128; ++shape) {
            int counts[8] = {};
            int runs = 0;
            for (int end = 1, start = 0; end <= 8; ++end) {
                if (end < 8 && (shape >> (end - 1) & 1) == 0) continue;
                counts[runs++] = end - start;
                start = end;
            }
            uint32_t row = kOctetRows.row[shape];
            unsigned looked_at = row >> 16;
            for (unsigned peek = 0; peek <= looked_at; ++peek) {
                uint32_t entry_of = octet_split_entry_of(counts, runs, peek);
                if ((1u << (entry_of & 15)) - 1 > looked_at) split_beyond_its_row();
                entry[(row & 0xFFFF) + peek] = entry_of;
            }
        }
    }
};

static constexpr OctetSplits kOctetSplits;

bool octet_splits_match_walks() {
    for (unsigned shape = 0; shape < 128; ++shape) {
        uint32_t row = kOctetRows.row[shape];
        unsigned looked_at = row >> 16;
        for (unsigned peek = 0; peek <= looked_at; ++peek) {
            SmallList halves[2];
            int64_t taken = split_stand_in(shape, 8, peek, halves);
            uint32_t entry = static_cast<uint32_t>(taken);
            for (int h = 0; h < 2; ++h) {
                uint32_t runs = 0;
                for (int k = 0; k < halves[h].runs; ++k) runs |= 1u << halves[h].symbol[k];
                entry |= octet_half_fields(runs, halves[h].count, h);
            }
            if (kOctetSplits.entry[(row & 0xFFFF) + peek] != entry) return false;
        }
    }
    return true;
}

// For every mask of at most four runs, their numbers in ascending order,
// one byte each.
struct RunOrders {
    uint32_t order[256];
    constexpr RunOrders() : order() {
        for (unsigned mask = 0; mask < 256; ++mask) {
            uint32_t packed = 0;
            int k = 0;
            for (unsigned run = 0; run < 8 && k < 4; ++run) {
                if (mask >> run & 1) packed |= run << (8 * k++);
            }
            order[mask] = packed;
        }
    }
};

static constexpr RunOrders kRunOrders;

/**** Queued 8-byte lists ****/

// Bytes of `table` picked by the low three bits of each byte of `index`,
// byte k being bits 8k to 8k + 7: one byte shuffle where the processor has
// it and a word's low byte is its first in memory.
template <bool kShuffle>
static inline __attribute__((always_inline)) uint64_t pick_bytes(uint64_t table, uint64_t index) {
#if defined(__GNUC__) && !defined(__clang__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    if constexpr (kShuffle) {
        typedef uint8_t Bytes __attribute__((vector_size(16)));
        typedef uint64_t Words __attribute__((vector_size(16)));
        Words from = {table, 0};
        Words at = {index, 0};
        Words picked = reinterpret_cast<Words>(
            __builtin_shuffle(reinterpret_cast<Bytes>(from), reinterpret_cast<Bytes>(at) & 7));
        return picked[0];
    }
#endif
    uint64_t out = 0;
    for (int k = 0; k < 8; ++k) out |= (table >> (8 * (index >> (8 * k) & 7)) & 0xFF) << (8 * k);
    return out;
}

// The shape of an 8-byte list, as shape_of(counts, 7); from vectors where
// the byte shuffle is used: the first eight counts as bytes, each at most 8
// (the end mark, -1 as a signed word, becomes 0), their running sums, and
// for each sum s from 1 to 7 the bit s - 1, picked from a table and added
// up: the sums of a list's runs rise, and those past its last run are 8 and
// more and pick nothing.
template <bool kShuffle>
static inline __attribute__((always_inline)) unsigned octet_shape(const uint16_t* counts) {
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
    if constexpr (kShuffle) {
        typedef int16_t Words __attribute__((vector_size(16)));
        typedef char Chars __attribute__((vector_size(16)));
        typedef uint8_t Bytes __attribute__((vector_size(16)));
        typedef uint64_t Quads __attribute__((vector_size(16)));
        const Bytes eight = {8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8};
        const Bytes fifteen = {15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15};
        const Bytes end_bits = {0, 1, 2, 4, 8, 16, 32, 64, 0, 0, 0, 0, 0, 0, 0, 0};
        Words words;
        std::memcpy(&words, counts, 16);
        Chars bytes = __builtin_ia32_packuswb128(words, words);
        bytes = __builtin_ia32_pminub128(bytes, reinterpret_cast<Chars>(eight));
        Quads sums = reinterpret_cast<Quads>(bytes);
        sums += sums << 8;
        sums += sums << 16;
        sums += sums << 32;
        bytes = __builtin_ia32_pminub128(reinterpret_cast<Chars>(sums), reinterpret_cast<Chars>(fifteen));
        Bytes ends = __builtin_shuffle(end_bits, reinterpret_cast<Bytes>(bytes));
        Quads total = reinterpret_cast<Quads>(__builtin_ia32_psadbw128(reinterpret_cast<Chars>(ends), Chars{}));
        return static_cast<unsigned>(total[0]);
    }
#endif
    return shape_of(counts, 7);
}

// An 8-byte list takes at most 8 split bits, 8 bits of its halves' splits
// and 4 order bits, so one top-up of each stream serves six of them.
constexpr int kOctetsPerTopUp = 6;

// Each list's bytes are its symbols picked by run number: the entry of the
// split gives each half's runs, and the halves' 4-byte entries pick among
// those (the later half's four runs counted from 4).
template <bool kShuffle>
static inline __attribute__((always_inline)) void put_octet_jobs(const OctetJob* jobs, int count,
                                                                 InputStream input[20]) {
    InputStream splits = input[17];
    InputStream pair_splits = input[18];
    InputStream orders = input[19];
    // The table of splits does not stay in the nearest cache, and which of a
    // row's entries a list takes is known only once the lists before it have
    // taken their bits; so the shapes, and with them the rows, are found
    // first, and the rows' first lines are fetched while the lists wait.
    uint32_t rows[kQueuedOctets];
    for (int i = 0; i < count; ++i) {
        uint32_t row = kOctetRows.row[octet_shape<kShuffle>(jobs[i].count)];
        rows[i] = row;
        const char* at = reinterpret_cast<const char*>(kOctetSplits.entry + (row & 0xFFFF));
        __builtin_prefetch(at);
        __builtin_prefetch(at + 64);
    }
    for (int first = 0; first < count; first += kOctetsPerTopUp) {
        top_up(&splits);
        top_up(&pair_splits);
        top_up(&orders);
        int end = count < first + kOctetsPerTopUp ? count : first + kOctetsPerTopUp;
        for (int i = first; i < end; ++i) {
            const OctetJob& job = jobs[i];
            uint32_t row = rows[i];
            unsigned peek = static_cast<unsigned>(splits.bits) & (row >> 16);
            uint32_t entry = kOctetSplits.entry[(row & 0xFFFF) + peek];
            splits.bits >>= entry & 15;
            splits.avail -= static_cast<int>(entry & 15);
            uint32_t early = entry >> 4;
            uint32_t late = entry >> 16;
            uint64_t runs = kRunOrders.order[early & 255] | uint64_t{kRunOrders.order[late & 255]} << 32;
            uint32_t early_picks = take_quad(early >> 8, &pair_splits, &orders);
            uint32_t late_picks = take_quad(late >> 8, &pair_splits, &orders);
            uint64_t picks = early_picks | uint64_t{late_picks | 0x04040404u} << 32;
            uint64_t symbols = load_le64(job.symbol);
            uint64_t bytes = pick_bytes<kShuffle>(symbols, pick_bytes<kShuffle>(runs, picks));
            store_le64(job.out, bytes);
        }
    }
    input[17] = splits;
    input[18] = pair_splits;
    input[19] = orders;
}

#ifdef Q73_X86_64_LOOPS
__attribute__((target("ssse3"))) static void put_octet_jobs_ssse3(const OctetJob* jobs, int count,
                                                                  InputStream input[20]) {
    put_octet_jobs<true>(jobs, count, input);
}
#endif

void put_octets(OctetQueue& queue, InputStream input[20]) {
    if (queue.count == 0) return;
#ifdef Q73_X86_64_LOOPS
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    if (ssse3) {
        put_octet_jobs_ssse3(queue.jobs, queue.count, input);
    } else {
        put_octet_jobs<false>(queue.jobs, queue.count, input);
    }
#else
    put_octet_jobs<false>(queue.jobs, queue.count, input);
#endif
    queue.count = 0;
}

void queue_octet(const SmallList& list, uint8_t* out, OctetQueue& queue, InputStream input[20]) {
    if (queue.count == kQueuedOctets) put_octets(queue, input);
    OctetJob& job = queue.jobs[queue.count++];
    std::memcpy(job.symbol, list.symbol, 8);
    std::memcpy(job.count, list.count, 16);
    job.runs = list.runs;
    job.out = out;
}

/**** The shortest lists ****/

// A list of two or four bytes at its own depth.
void put_short_list(const SmallList& list, int32_t total, InputStream input[20], uint8_t* out,
                    OctetQueue& queue) {
    if (list.runs == 1) {
        std::memset(out, list.symbol[0], static_cast<size_t>(total));
        return;
    }
    put_octets(queue, input);
    if (total == 2) {
        top_up(&input[19]);
        put_pair(out, list.symbol, 0, 1, &input[19]);
    } else {
        put_quad(list, &input[18], &input[19], out);
    }
}
