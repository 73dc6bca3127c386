#include "codec/small_spans.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "codec/pick.h"

/**** Splitting ****/

// The same walk as the pool decoder's split: rem0 and rem1 are what the
// earlier and the later half still need, low and low + bound the least and
// the most of the run's count that can go to the earlier half.  Most steps
// have room for the whole run on both sides, so that low is 0 and the bound
// is the run's count; testing for that, instead of computing both limits
// from the remainders, keeps the remainders off the chain from one code to
// the next.  Each run is written to both halves and kept where its share is
// not 0.  Once a half is full the other takes the remaining runs whole.
//
// A code takes at most bit length of its bound bits, which is at most the
// run's count, so a list of at most kOneTopUp bytes takes at most that many
// bits in all, and one top-up before the walk serves it (`kShort`); longer
// lists top up whenever fewer bits remain than a code can take.
constexpr int kOneTopUp = 32;
static_assert(kShapedBounds >= (kBlockSize >> (kSmallDepth + 1)), "a bound is at most the earlier half's room");

// The longest code under a bound of at most kShapedBounds (1024): 11 bits.
constexpr int kLongestCode = 11;
static_assert(kShapedBounds < (1 << kLongestCode), "the refill's margin");

struct SplitWalk {
    uint64_t bits;  // as loaded; the next code starts `used` bits in
    uint64_t used;
    int32_t rem0;
    int32_t rem1;
    intptr_t k;   // the next run of the parent list
    intptr_t ne;  // runs of the earlier half so far
    intptr_t nl;  // runs of the later half so far
};

#ifdef Q73_X86_64_LOOPS
// The usual step of split_small, where both halves have room for the whole
// run, as one loop with every value in a register (the compilers spill the
// walk's state here and test the code's shape twice).  It stops before any
// other step: a half full, a run longer than a half's room (or the end mark),
// or fewer than kLongestCode bits left once `used` is past `limit`, the
// bits loaded minus kLongestCode (which may be below 0).  The later half lies right behind the earlier one.
template <bool kLimit, typename Half>
static inline void fast_split_steps(const SmallList& list, Half* halves, SplitWalk& w, int64_t limit) {
    static_assert(sizeof(CodeShape) == 8, "the loop's table");
    constexpr size_t kListSymbols = offsetof(SmallList, symbol);
    constexpr size_t kListCounts = offsetof(SmallList, count);
    constexpr size_t kSymbols = offsetof(Half, symbol);
    constexpr size_t kCounts = offsetof(Half, count);
    constexpr size_t kLate = sizeof(Half);
    uint64_t used = w.used;
    int64_t rem0 = w.rem0;
    int64_t rem1 = w.rem1;
    intptr_t k = w.k;
    intptr_t ne = w.ne;
    intptr_t nl = w.nl;
    uint64_t t0, t1, t2, q;
    // A run longer than either room (the end mark is longer than both)
    // ends the loop.  Lists of up to kOneTopUp bytes never need a top-up.
#define Q73_SPLIT_TEST                                     \
    "movzwl %c[list_counts](%[list], %[k], 2), %k[q]\n\t" \
    "cmp %k[rem0], %k[q]\n\t"                          \
    "ja 2f\n\t"                                         \
    "cmp %k[rem1], %k[q]\n\t"
#define Q73_SPLIT_STEP \
        "add $1, %[k]\n\t"  /* first: a shift by %cl waits for the flags before it */ \
        "mov %[bits], %[t0]\n\t" \
        "shr %%cl, %[t0]\n\t" \
        "movzwl 4(%[shapes], %[q], 8), %k[t1]\n\t" \
        "and %k[t0], %k[t1]\n\t"  /* v: the long code's bits */ \
        "movzwl (%[shapes], %[q], 8), %k[t2]\n\t" \
        "and %k[t0], %k[t2]\n\t"  /* the short code, off v's chain */ \
        "movzbl 2(%[shapes], %[q], 8), %k[t0]\n\t"  /* the short code's length */ \
        "cmpw 6(%[shapes], %[q], 8), %w[t2]\n\t"  /* below long_end: the long code */ \
        "cmovb %k[t1], %k[t2]\n\t"  /* a */ \
        "adc %[t0], %%rcx\n\t"  /* one bit more for the long code */ \
        "movzbl %c[list_symbols] - 1(%[list], %[k], 1), %k[t0]\n\t" \
        "mov %b[t0], %c[symbols](%[halves], %[ne], 1)\n\t" \
        "mov %w[t2], %c[counts](%[halves], %[ne], 2)\n\t" \
        "mov %b[t0], %c[symbols] + %c[late](%[halves], %[nl], 1)\n\t" \
        "sub %k[t2], %k[q]\n\t"  /* b */ \
        "mov %w[q], %c[counts] + %c[late](%[halves], %[nl], 2)\n\t" \
        "sub %k[t2], %k[rem0]\n\t" \
        "sub %k[q], %k[rem1]\n\t" \
        "cmp $1, %k[t2]\n\t" \
        "sbb $-1, %[ne]\n\t" \
        "cmp $1, %k[q]\n\t" \
        "sbb $-1, %[nl]\n\t"
#define Q73_SPLIT_OPERANDS \
        : "+c"(used), [rem0] "+r"(rem0), [rem1] "+r"(rem1), [k] "+r"(k), [ne] "+r"(ne), [nl] "+r"(nl), \
          [t0] "=&r"(t0), [t1] "=&r"(t1), [t2] "=&r"(t2), [q] "=&r"(q) \
        : [bits] "r"(w.bits), [limit] "rm"(limit), [list] "r"(&list), [halves] "r"(halves), \
          [shapes] "r"(kCodeShapes), [list_symbols] "i"(kListSymbols), [list_counts] "i"(kListCounts), \
          [symbols] "i"(kSymbols), [counts] "i"(kCounts), [late] "i"(kLate) \
        : "cc", "memory"
    if constexpr (kLimit) {
        __asm__("cmp %[limit], %%rcx\n\t"
                "jg 2f\n\t"
                "1:\n\t" Q73_SPLIT_TEST "ja 2f\n\t" Q73_SPLIT_STEP
                "cmp %[limit], %%rcx\n\t"
                "jle 1b\n\t"
                "2:\n\t" Q73_SPLIT_OPERANDS);
    } else {
        __asm__(Q73_SPLIT_TEST "ja 2f\n\t"
                "1:\n\t" Q73_SPLIT_STEP Q73_SPLIT_TEST "jbe 1b\n\t"
                "2:\n\t" Q73_SPLIT_OPERANDS);
    }
#undef Q73_SPLIT_TEST
#undef Q73_SPLIT_STEP
#undef Q73_SPLIT_OPERANDS
    w.used = used;
    w.rem0 = static_cast<int32_t>(rem0);
    w.rem1 = static_cast<int32_t>(rem1);
    w.k = k;
    w.ne = ne;
    w.nl = nl;
}
#endif

template <bool kShort, typename Half = SmallList>
static void split_small(const SmallList& list, int32_t a_total, int32_t b_total, InputStream* stream,
                        Half halves[2]) {
    Half& early = halves[0];
    Half& late = halves[1];
    InputStream in = *stream;
    if (kShort) top_up(&in);
    SplitWalk w{in.bits, 0, a_total, b_total, 0, 0, 0};
    const intptr_t runs = list.runs;
    for (;; ++w.k) {
#ifdef Q73_X86_64_LOOPS
        fast_split_steps<!kShort>(list, halves, w, kShort ? 64 : in.avail - kLongestCode);
#endif
        int32_t fits = w.rem0 < w.rem1 ? w.rem0 : w.rem1;
        if (fits == 0) break;
        int32_t q = list.count[w.k];
        uint8_t symbol = list.symbol[w.k];
        int32_t low = 0;
        int32_t bound = q;
        if (__builtin_expect(q > fits, 0)) {
            // The end mark behind the last run is above every remainder,
            // so the end of the list is only looked for here.
            if (w.k == runs) break;  // runs used up early only in a damaged list
            low = q > w.rem1 ? q - w.rem1 : 0;
            bound = (q < w.rem0 ? q : w.rem0) - low;
        }
        if (!kShort && in.avail - static_cast<int>(w.used) < kLongestCode) {
            in.bits = w.bits >> w.used;
            in.avail -= static_cast<int>(w.used);
            w.used = 0;
            top_up(&in);
            w.bits = in.bits;
        }
        const CodeShape& shape = kCodeShapes[bound];
        uint32_t v = static_cast<uint32_t>(w.bits >> w.used) & shape.long_mask;
        uint32_t short_bits = v & shape.short_mask;
        uint32_t long_code = short_bits < shape.long_end;
        w.used += shape.short_length + long_code;
        int32_t a = low + static_cast<int32_t>(pick(long_code, v, short_bits));
        int32_t b = q - a;
        early.symbol[w.ne] = symbol;
        early.count[w.ne] = static_cast<uint16_t>(a);
        w.ne += a != 0;
        late.symbol[w.nl] = symbol;
        late.count[w.nl] = static_cast<uint16_t>(b);
        w.nl += b != 0;
        w.rem0 -= a;
        w.rem1 -= b;
    }
    // Which half that is follows the data: selected without a branch.
    uint32_t early_has_room = w.rem0 != 0;
    Half& rest = *pick(early_has_room, &early, &late);
    intptr_t n = pick(early_has_room, w.ne, w.nl);
    intptr_t left = runs - w.k;
    for (intptr_t c = 0; c < left; c += 8) {
        std::memcpy(rest.symbol + n + c, list.symbol + w.k + c, 8);
        std::memcpy(rest.count + n + c, list.count + w.k + c, 16);
        // Few runs are left as a rule: keeps the compiler from making this
        // loop a call to memmove.
        __asm__("" ::: "memory");
    }
    n += left;
    early.runs = static_cast<int>(pick(early_has_room, n, w.ne));
    late.runs = static_cast<int>(pick(early_has_room, w.nl, n));
    mark_end(early);
    mark_end(late);
    in.bits = w.bits >> w.used;
    in.avail -= static_cast<int>(w.used);
    *stream = in;
}

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
static inline unsigned shape_of(const uint16_t* counts, int steps) {
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
// bits 4-11 and 16-23) and its own shape (bits 12-14 and 24-26).  Entries
// are filled on first use, by split_small on stand-in lists as above; 0
// marks an entry not filled yet, since an early half always has a run.
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
static uint32_t octet_splits[kOctetRows.entries];

// Fills the entry of `shape` and `peek`, and with it those of every peek
// that has the same bits where the split takes them: the bits beyond change
// nothing.
static uint32_t fill_octet_split(unsigned shape, unsigned peek) {
    uint32_t row = kOctetRows.row[shape];
    unsigned looked_at = row >> 16;
    peek &= looked_at;
    SmallList halves[2];
    int64_t taken = split_stand_in(shape, 8, peek, halves);
    if ((1u << taken) - 1 > looked_at) std::abort();  // cannot happen: the row's bits bound the split
    uint32_t entry = static_cast<uint32_t>(taken);
    for (int h = 0; h < 2; ++h) {
        uint32_t runs = 0;
        for (int k = 0; k < halves[h].runs; ++k) runs |= 1u << halves[h].symbol[k];
        entry |= (runs | shape_of(halves[h].count, 3) << 8) << (4 + 12 * h);
    }
    unsigned used = (1u << taken) - 1;
    for (unsigned other = peek & used; other <= looked_at; other += used + 1)
        octet_splits[(row & 0xFFFF) + other] = entry;
    return entry;
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

// Streams 17 to 19 are read only by the lists of eight bytes and less, in
// the order of their spans.  So 8-byte lists can wait in a queue and be
// written out together, in that order, with the three streams held in
// registers; the work of one list then overlaps the next.  The queue is
// drained before any other list of eight bytes or less is written.
constexpr int kQueuedOctets = 64;

// A queued list, in the same form as a SmallList of at most 8 runs, with
// room for the eight more that a split's copies write.
struct OctetJob {
    uint8_t symbol[16];
    uint16_t count[16];
    uint8_t* out;
    int runs;
};

inline void mark_end(OctetJob& job) { job.count[job.runs] = kEndCount; }

struct OctetQueue {
    int count = 0;
    OctetJob jobs[kQueuedOctets];
};

// Bytes of `table` picked by the low three bits of each byte of `index`:
// one byte shuffle where the processor has it.
template <bool kShuffle>
static inline __attribute__((always_inline)) uint64_t pick_bytes(uint64_t table, uint64_t index) {
#if defined(__GNUC__) && !defined(__clang__)
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
    for (int first = 0; first < count; first += kOctetsPerTopUp) {
        top_up(&splits);
        top_up(&pair_splits);
        top_up(&orders);
        int end = count < first + kOctetsPerTopUp ? count : first + kOctetsPerTopUp;
        for (int i = first; i < end; ++i) {
            const OctetJob& job = jobs[i];
            unsigned shape = shape_of(job.count, 7);
            uint32_t row = kOctetRows.row[shape];
            unsigned peek = static_cast<unsigned>(splits.bits) & (row >> 16);
            uint32_t entry = octet_splits[(row & 0xFFFF) + peek];
            if (__builtin_expect(entry == 0, 0)) entry = fill_octet_split(shape, peek);
            splits.bits >>= entry & 15;
            splits.avail -= static_cast<int>(entry & 15);
            uint32_t early = entry >> 4;
            uint32_t late = entry >> 16;
            uint64_t runs = kRunOrders.order[early & 255] | uint64_t{kRunOrders.order[late & 255]} << 32;
            uint32_t early_picks = take_quad(early >> 8, &pair_splits, &orders);
            uint32_t late_picks = take_quad(late >> 8, &pair_splits, &orders);
            uint64_t picks = early_picks | uint64_t{late_picks | 0x04040404u} << 32;
            uint64_t symbols;
            std::memcpy(&symbols, job.symbol, 8);
            uint64_t bytes = pick_bytes<kShuffle>(symbols, pick_bytes<kShuffle>(runs, picks));
            std::memcpy(job.out, &bytes, 8);
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

static void put_octets(OctetQueue& queue, InputStream input[20]) {
    if (queue.count == 0) return;
#ifdef Q73_X86_64_LOOPS
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    if (ssse3) {
        put_octet_jobs_ssse3(queue.jobs, queue.count, input);
        queue.count = 0;
        return;
    }
#endif
    put_octet_jobs<false>(queue.jobs, queue.count, input);
    queue.count = 0;
}

static void queue_octet(const SmallList& list, uint8_t* out, OctetQueue& queue, InputStream input[20]) {
    if (queue.count == kQueuedOctets) put_octets(queue, input);
    OctetJob& job = queue.jobs[queue.count++];
    std::memcpy(job.symbol, list.symbol, 8);
    std::memcpy(job.count, list.count, 16);
    job.out = out;
}

/**** Spans ****/

// A 16-byte list: its two halves of eight bytes are split straight into
// the queue (the split's copies stay within a place's room).
static void queue_sixteen(const SmallList& list, InputStream input[20], uint8_t* out, OctetQueue& queue) {
    if (list.runs == 1) {
        std::memset(out, list.symbol[0], 16);
        return;
    }
    if (queue.count > kQueuedOctets - 2) put_octets(queue, input);
    OctetJob* pair = queue.jobs + queue.count;
    split_small<true>(list, 8, 8, &input[16], pair);
    pair[0].out = out;
    pair[1].out = out + 8;
    queue.count += 2;
}

// A list of two or four bytes at its own depth.
static inline void put_short_list(const SmallList& list, int32_t total, InputStream input[20], uint8_t* out,
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

static void decode_span(int depth, const SmallList& list, int32_t total, InputStream input[20], uint8_t* out,
                        OctetQueue& queue) {
    if (list.runs == 1) {
        std::memset(out, list.symbol[0], static_cast<size_t>(total));
        return;
    }
    if (depth >= 17) {
        put_short_list(list, total, input, out, queue);
        return;
    }
    if (depth == 16 && total == 8) {
        queue_octet(list, out, queue, input);
        return;
    }
    if (total == 16) {
        queue_sixteen(list, input, out, queue);
        return;
    }
    SmallList halves[2];
    const SmallList& early = halves[0];
    const SmallList& late = halves[1];
    int32_t a_total = kBlockSize >> (depth + 1);
    int32_t b_total = total - a_total;
    if (depth == 16) put_octets(queue, input);  // the split reads stream 17
    if (a_total + b_total <= kOneTopUp) {
        split_small<true>(list, a_total, b_total, &input[depth + 1], halves);
    } else {
        split_small<false>(list, a_total, b_total, &input[depth + 1], halves);
    }
    if (depth == 16) {  // halves of four bytes and of two
        put_short_list(early, a_total, input, out, queue);
        put_short_list(late, b_total, input, out + a_total, queue);
        return;
    }
    if (a_total == 16) {  // spans of 16 bytes, without going through the depth below
        queue_sixteen(early, input, out, queue);
        if (b_total == 16) {
            queue_sixteen(late, input, out + a_total, queue);
        } else {
            decode_span(top_depth_of(b_total), late, b_total, input, out + a_total, queue);
        }
        return;
    }
    decode_span(depth + 1, early, a_total, input, out, queue);
    decode_span(top_depth_of(b_total), late, b_total, input, out + a_total, queue);
}

void decode_small_span(int depth, const SmallList& list, int32_t total, InputStream input[20],
                       uint8_t* out) {
    OctetQueue queue;
    decode_span(depth, list, total, input, out, queue);
    put_octets(queue, input);
}
