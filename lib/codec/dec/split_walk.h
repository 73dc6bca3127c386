// The walk of one split in arrays: a list's runs handed out to its two
// halves in symbol order, each run's share of the earlier half read as a
// bounded code, until one half is full and the other takes the rest.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "codec/bit_stream.h"
#include "codec/bounded_code.h"
#include "codec/dec/small_list.h"
#include "codec/pick.h"
#include "codec/working_state.h"

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
// bits in all, and the top-up that starts every walk serves it (`kShort`);
// longer lists top up again whenever fewer bits remain than the longest code
// under their earlier half's room.  Starting with a top-up keeps most walks
// of up to 64 bytes from leaving the loop for one.
constexpr int kOneTopUp = 32;
static_assert(kShapedBounds >= (kBlockSize >> (kSmallDepth + 1)), "a bound is at most the earlier half's room");

// The longest code under a bound of at most kShapedBounds (2048): 12 bits.
constexpr int kLongestCode = 12;
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
// The steps of split_small as one loop with every value in a register (the
// compilers spill the walk's state here and test the code's shape twice).
// The usual step, where both halves have room for the whole run, stays off
// the remainders; a run longer than a half's room takes the general step
// (its least and most share from both remainders) out of the loop's way,
// and the loop goes on.  It stops before a step when a half is full, at the
// end mark, or when fewer than kLongestCode bits are left once `used` is
// past `limit`, the bits loaded minus kLongestCode (which may be below 0).
// The later half lies right behind the earlier one.
template <bool kLimit, typename Half>
inline void fast_split_steps(const SmallList& list, Half* halves, SplitWalk& w, int64_t limit) {
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
    uint32_t low;  // the general step's least share, while its registers are taken
    // A run longer than either room goes to the general step (3), which
    // leaves at a full half or the end mark.  Lists of up to kOneTopUp bytes
    // never need a top-up.
#define Q73_SPLIT_TEST                                     \
    "movzwl %c[list_counts](%[list], %[k], 2), %k[q]\n\t" \
    "cmp %k[rem0], %k[q]\n\t"                          \
    "ja 3f\n\t"                                         \
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
    // The general step: the share lies from low = q - rem1 (at least 0) to
    // min(q, rem0), and the code is read under their difference.  The code's
    // bits are below 65536, so the shape's first four bytes give its short
    // code.  Whether either half is full is one test, not one per half: which
    // of them fills first follows the data.
#define Q73_SPLIT_GENERAL \
        "lea -1(%[rem0]), %[t0]\n\t" \
        "lea -1(%[rem1]), %[t1]\n\t" \
        "or %[t1], %[t0]\n\t"  /* below 0 when a half is full */ \
        "js 2f\n\t" \
        "cmp $0xFFFF, %k[q]\n\t" \
        "je 2f\n\t" \
        "mov %k[q], %k[t1]\n\t" \
        "sub %k[rem1], %k[t1]\n\t" \
        "xor %k[t0], %k[t0]\n\t" \
        "cmp %k[rem1], %k[q]\n\t" \
        "cmovbe %k[t0], %k[t1]\n\t"  /* low */ \
        "mov %k[q], %k[t2]\n\t" \
        "cmp %k[rem0], %k[q]\n\t" \
        "cmova %k[rem0], %k[t2]\n\t" \
        "sub %k[t1], %k[t2]\n\t"  /* the bound */ \
        "mov %k[t1], %[low]\n\t" \
        "add $1, %[k]\n\t" \
        "mov %[bits], %[t0]\n\t" \
        "shr %%cl, %[t0]\n\t" \
        "movzwl 4(%[shapes], %[t2], 8), %k[t1]\n\t" \
        "and %k[t0], %k[t1]\n\t"  /* v */ \
        "mov %k[t1], %k[t0]\n\t" \
        "and (%[shapes], %[t2], 8), %k[t0]\n\t"  /* the short code */ \
        "cmpw 6(%[shapes], %[t2], 8), %w[t0]\n\t" \
        "cmovb %k[t1], %k[t0]\n\t"  /* the code */ \
        "movzbl 2(%[shapes], %[t2], 8), %k[t2]\n\t" \
        "adc %[t2], %%rcx\n\t" \
        "add %[low], %k[t0]\n\t"  /* a */ \
        "movzbl %c[list_symbols] - 1(%[list], %[k], 1), %k[t1]\n\t" \
        "mov %b[t1], %c[symbols](%[halves], %[ne], 1)\n\t" \
        "mov %w[t0], %c[counts](%[halves], %[ne], 2)\n\t" \
        "mov %b[t1], %c[symbols] + %c[late](%[halves], %[nl], 1)\n\t" \
        "sub %k[t0], %k[q]\n\t"  /* b */ \
        "mov %w[q], %c[counts] + %c[late](%[halves], %[nl], 2)\n\t" \
        "sub %k[t0], %k[rem0]\n\t" \
        "sub %k[q], %k[rem1]\n\t" \
        "cmp $1, %k[t0]\n\t" \
        "sbb $-1, %[ne]\n\t" \
        "cmp $1, %k[q]\n\t" \
        "sbb $-1, %[nl]\n\t"
#define Q73_SPLIT_OPERANDS \
        : "+c"(used), [rem0] "+r"(rem0), [rem1] "+r"(rem1), [k] "+r"(k), [ne] "+r"(ne), [nl] "+r"(nl), \
          [t0] "=&r"(t0), [t1] "=&r"(t1), [t2] "=&r"(t2), [q] "=&r"(q), [low] "=m"(low) \
        : [bits] "r"(w.bits), [limit] "rm"(limit), [list] "r"(&list), [halves] "r"(halves), \
          [shapes] "r"(kCodeShapes), [list_symbols] "i"(kListSymbols), [list_counts] "i"(kListCounts), \
          [symbols] "i"(kSymbols), [counts] "i"(kCounts), [late] "i"(kLate) \
        : "cc", "memory"
    if constexpr (kLimit) {
        __asm__("0:\n\t"
                "cmp %[limit], %%rcx\n\t"
                "jg 2f\n\t"
                "1:\n\t" Q73_SPLIT_TEST "ja 3f\n\t" Q73_SPLIT_STEP
                "cmp %[limit], %%rcx\n\t"
                "jle 1b\n\t"
                "jmp 2f\n\t"
                "3:\n\t" Q73_SPLIT_GENERAL
                "jmp 0b\n\t"
                "2:\n\t" Q73_SPLIT_OPERANDS);
    } else {
        __asm__("0:\n\t" Q73_SPLIT_TEST "ja 3f\n\t"
                "1:\n\t" Q73_SPLIT_STEP Q73_SPLIT_TEST "jbe 1b\n\t"
                "3:\n\t" Q73_SPLIT_GENERAL
                "jmp 0b\n\t"
                "2:\n\t" Q73_SPLIT_OPERANDS);
    }
#undef Q73_SPLIT_TEST
#undef Q73_SPLIT_STEP
#undef Q73_SPLIT_GENERAL
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
void split_small(const SmallList& list, int32_t a_total, int32_t b_total, InputStream* stream, Half halves[2]) {
    Half& early = halves[0];
    Half& late = halves[1];
    InputStream in = *stream;
    top_up(&in);
    SplitWalk w{in.bits, 0, a_total, b_total, 0, 0, 0};
    const intptr_t runs = list.runs;
    // A code under a bound of at most a_total takes at most its bit length.
    const int longest = 32 - __builtin_clz(static_cast<uint32_t>(a_total));
    for (;; ++w.k) {
#ifdef Q73_X86_64_LOOPS
        fast_split_steps<!kShort>(list, halves, w, kShort ? 64 : in.avail - longest);
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
        if (!kShort && in.avail - static_cast<int>(w.used) < longest) {
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
    // The first eight places are copied even when no run is left, which is
    // too irregular for a branch to guess; what they hold past the rest is
    // written over by the end mark or stands behind it.
    intptr_t c = 0;
    do {
        std::memcpy(rest.symbol + n + c, list.symbol + w.k + c, 8);
        std::memcpy(rest.count + n + c, list.count + w.k + c, 16);
        // Few runs are left as a rule: keeps the compiler from making this
        // loop a call to memmove.
        __asm__("" ::: "memory");
        c += 8;
    } while (c < left);
    n += left;
    early.runs = static_cast<int>(pick(early_has_room, n, w.ne));
    late.runs = static_cast<int>(pick(early_has_room, w.nl, n));
    mark_end(early);
    mark_end(late);
    in.bits = w.bits >> w.used;
    in.avail -= static_cast<int>(w.used);
    *stream = in;
}
