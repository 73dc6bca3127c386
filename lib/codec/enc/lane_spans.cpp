#include "codec/enc/lane_spans.h"

#include <cstring>

#include "codec/byte_order.h"
#include "codec/pick.h"

// Every function here taking or returning vectors is inlined into one of
// the two entry points below, so no vector crosses a call.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace {

// Everything below is compiled anew inside each entry point, for its own
// instruction set.
#define LANES_INLINE inline __attribute__((always_inline))

using Bytes = uint8_t __attribute__((vector_size(16)));
using Lanes = uint16_t __attribute__((vector_size(2 * kLanes)));
using Mask = int16_t __attribute__((vector_size(2 * kLanes)));
using Wide = uint32_t __attribute__((vector_size(2 * kLanes)));

// Keys are the byte above its position in the span: unique, and in byte
// order first.
constexpr int kPositionBits = kLaneLevel;
static_assert(8 + kPositionBits <= 16, "a key fits 16 bits");
static_assert(kLaneSpan == 1 << kPositionBits, "a key's position field");
static_assert(kLanes == 16, "the transposition works on 16 rows of 16 bytes");

/**** Bytes into keys ****/

// The units of `unit` bytes of a and b taken in turn, from the lower
// (or upper) halves of both.
template <int unit, bool upper>
LANES_INLINE Bytes interleave(Bytes a, Bytes b) {
    if constexpr (unit == 1)
        return upper ? __builtin_shufflevector(a, b, 8, 24, 9, 25, 10, 26, 11, 27, 12, 28, 13, 29, 14, 30, 15, 31)
                     : __builtin_shufflevector(a, b, 0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23);
    else if constexpr (unit == 2)
        return upper ? __builtin_shufflevector(a, b, 8, 9, 24, 25, 10, 11, 26, 27, 12, 13, 28, 29, 14, 15, 30, 31)
                     : __builtin_shufflevector(a, b, 0, 1, 16, 17, 2, 3, 18, 19, 4, 5, 20, 21, 6, 7, 22, 23);
    else if constexpr (unit == 4)
        return upper ? __builtin_shufflevector(a, b, 8, 9, 10, 11, 24, 25, 26, 27, 12, 13, 14, 15, 28, 29, 30, 31)
                     : __builtin_shufflevector(a, b, 0, 1, 2, 3, 16, 17, 18, 19, 4, 5, 6, 7, 20, 21, 22, 23);
    else
        return upper ? __builtin_shufflevector(a, b, 8, 9, 10, 11, 12, 13, 14, 15, 24, 25, 26, 27, 28, 29, 30, 31)
                     : __builtin_shufflevector(a, b, 0, 1, 2, 3, 4, 5, 6, 7, 16, 17, 18, 19, 20, 21, 22, 23);
}

template <int unit>
LANES_INLINE void interleave_rows(Bytes* rows) {
    Bytes out[16];
    for (int k = 0; k < 8; ++k) {
        out[k] = interleave<unit, false>(rows[2 * k], rows[2 * k + 1]);
        out[k + 8] = interleave<unit, true>(rows[2 * k], rows[2 * k + 1]);
    }
    std::memcpy(rows, out, sizeof out);
}

// Byte i of every span with its position, 16 columns at a time: sixteen
// rows of 16 bytes transposed by four rounds of interleaving, after which
// row j holds column j with its four bits reversed.
LANES_INLINE void load_keys(const uint8_t* group, Lanes* keys) {
    for (int part = 0; part < kLaneSpan / 16; ++part) {
        Bytes rows[16];
        for (int lane = 0; lane < kLanes; ++lane) std::memcpy(&rows[lane], group + kLaneSpan * lane + 16 * part, 16);
        interleave_rows<1>(rows);
        interleave_rows<2>(rows);
        interleave_rows<4>(rows);
        interleave_rows<8>(rows);
        for (int j = 0; j < 16; ++j) {
            int column = ((j & 1) << 3) | ((j & 2) << 1) | ((j & 4) >> 1) | ((j & 8) >> 3);
            int i = 16 * part + column;
            keys[i] = __builtin_convertvector(rows[j], Lanes) << kPositionBits | static_cast<uint16_t>(i);
        }
    }
}

/**** Merging ****/

LANES_INLINE void order_pair(Lanes& a, Lanes& b) {
    Lanes low = a < b ? a : b;
    Lanes high = a < b ? b : a;
    a = low;
    b = high;
}

// Merges the sorted stretches of h keys at base and base + h.  The later
// one taken backwards makes the whole a rising then falling sequence, which
// halving comparisons sort.  The comparisons of distance 4 and less are made
// eight keys at a time in registers, after the wider ones.
template <int h>
LANES_INLINE void merge_sorted(Lanes* keys) {
    constexpr int kBlock = 8;
    if constexpr (h >= kBlock) {
        for (int base = 0; base < kLaneSpan; base += 2 * h) {
            Lanes* k = keys + base;
            for (int j = 0; j < h; ++j) order_pair(k[j], k[2 * h - 1 - j]);
            int d = h / 2;
            for (; d >= 2 * kBlock; d /= 4) {  // two rounds in one pass
                for (int block = 0; block < 2 * h; block += 2 * d) {
                    for (int j = block; j < block + d / 2; ++j) {
                        Lanes a = k[j], b = k[j + d / 2], c = k[j + d], e = k[j + d + d / 2];
                        order_pair(a, c);
                        order_pair(b, e);
                        order_pair(a, b);
                        order_pair(c, e);
                        k[j] = a, k[j + d / 2] = b, k[j + d] = c, k[j + d + d / 2] = e;
                    }
                }
            }
            if (d == kBlock)
                for (int block = 0; block < 2 * h; block += 2 * d)
                    for (int j = block; j < block + d; ++j) order_pair(k[j], k[j + d]);
        }
    }
    for (int base = 0; base < kLaneSpan; base += kBlock) {
        Lanes r[kBlock];
#pragma GCC unroll 8
        for (int j = 0; j < kBlock; ++j) r[j] = keys[base + j];
        if constexpr (h < kBlock) {
#pragma GCC unroll 8
            for (int s = 0; s < kBlock; s += 2 * h)
#pragma GCC unroll 8
                for (int j = 0; j < h; ++j) order_pair(r[s + j], r[s + 2 * h - 1 - j]);
        }
        constexpr int first = (h < kBlock ? h : kBlock) / 2;
#pragma GCC unroll 8
        for (int d = first; d >= 1; d /= 2)
#pragma GCC unroll 8
            for (int block = 0; block < kBlock; block += 2 * d)
#pragma GCC unroll 8
                for (int j = block; j < block + d; ++j) order_pair(r[j], r[j + d]);
#pragma GCC unroll 8
        for (int j = 0; j < kBlock; ++j) keys[base + j] = r[j];
    }
}

/**** Codes ****/

// Codes are gathered in 16-bit lanes, eight places at a time: eight places
// never hold 16 bits, since runs that lie within them code at most one bit
// per key and the one run reaching in from before needs at most 8.  `place`
// is 2 to the number of bits so far, a code is put in place by a 16-bit
// product (one micro-op and a few cycles on every processor with vectors)
// and the place grows by the step, 2 to the code's length.
struct Gathered {
    Lanes bits;
    Lanes place;
};

LANES_INLINE Gathered fresh_gathered() { return Gathered{Lanes{}, Lanes{} + 1}; }

LANES_INLINE void append(Gathered& out, const Lanes& code, const Lanes& step) {
    out.bits |= code * out.place;
    out.place *= step;
}

// Bits of 16 places of a level in 32-bit lanes: the even half holds lanes
// 0-3 and 8-11, the odd half lanes 4-7 and 12-15, as the widening
// interleave leaves them.  Sixteen places never hold 32 bits (at most 16
// of runs within them, and 8 of the one reaching in).
constexpr int kChunk = 16;
constexpr int kChunks = kLaneSpan / kChunk;

struct ChunkBits {
    Wide bits[2];
    Wide counts[2];
};

using Signed = int32_t __attribute__((vector_size(2 * kLanes)));
using Floats = float __attribute__((vector_size(2 * kLanes)));

// Each lane and a zero lane side by side make one 32-bit lane of the same
// value: the zero goes above, which in memory is after the lane on a
// little-endian processor and before it on a big-endian one.
LANES_INLINE void widen(Lanes x, Wide* out) {
    Lanes zero{};
    Lanes first = kBigEndian ? zero : x;
    Lanes second = kBigEndian ? x : zero;
    out[0] = reinterpret_cast<Wide>(
        __builtin_shufflevector(first, second, 0, 16, 1, 17, 2, 18, 3, 19, 8, 24, 9, 25, 10, 26, 11, 27));
    out[1] = reinterpret_cast<Wide>(
        __builtin_shufflevector(first, second, 4, 20, 5, 21, 6, 22, 7, 23, 12, 28, 13, 29, 14, 30, 15, 31));
}

// The later eight places' bits go above the earlier eight's, by a product
// once per 16 places; the bit count is the exponent of the product of the
// two places, read off its conversion to float.
LANES_INLINE ChunkBits join(const Gathered& low, const Gathered& high) {
    Wide low_bits[2], high_bits[2], low_place[2], high_place[2];
    widen(low.bits, low_bits);
    widen(high.bits, high_bits);
    widen(low.place, low_place);
    widen(high.place, high_place);
    ChunkBits chunk;
    for (int k = 0; k < 2; ++k) {
        chunk.bits[k] = low_bits[k] | high_bits[k] * low_place[k];
        Floats place = __builtin_convertvector(reinterpret_cast<Signed>(low_place[k] * high_place[k]), Floats);
        chunk.counts[k] = (reinterpret_cast<Wide>(place) >> 23) - 127;
    }
    return chunk;
}

// The runs of the last level: each key's run count so far, and for each
// chunk a mask of the places where a run ends, bit j for place j.
struct LaneRuns {
    Mask counts[kLaneSpan];
    Mask ends[kChunks];
};

// The order bits of the pairs, once each pair is in order: a pair of two
// bytes has one, 1 when its smaller byte (now first) was the earlier.
LANES_INLINE void pair_codes(const Lanes* keys, ChunkBits* chunks) {
    for (int c = 0; c < kChunks; ++c) {
        Gathered out = fresh_gathered();
#pragma GCC unroll 8
        for (int j = 0; j < kChunk; j += 2) {
            int i = kChunk * c + j;
            Lanes distinct = reinterpret_cast<Lanes>((keys[i] >> kPositionBits) != (keys[i + 1] >> kPositionBits));
            Lanes length = distinct & 1;
            append(out, length & ~keys[i], length + 1);
        }
        chunks[c] = join(out, fresh_gathered());
    }
}

// The codes of the merges that built the stretches of 2h keys, read off the
// keys in order: a run ends where the next key has another byte, its count
// is the stretch of equal bytes, and a key is from the earlier half when its
// position has bit h clear.  With x the earlier half's keys before the run,
// n its count and i its last place, the remainders give
//   low = max(i + 1 - h - x, 0), high = min(h - x, n),
// and the value v = (the run's keys from the earlier half) - low.  Since
// v <= bound, a code is always v itself: a short code, one bit less, is
// taken only when v lies below the bound's highest power of two.  A run of
// the bound 0 comes out as a code of no bits by itself.
//
// Sixteen places are taken at a time, unrolled, so that where a stretch
// starts and ends is known without a test for h < 8 and tested once per 16
// places above.  The counts of earlier keys are kept less an offset, the
// value of i + 1 - h at the chunk's first place (at the stretch's first for
// h < 8): i + 1 - h - x is then the place's distance into the chunk, a
// constant, less the kept count.
// Chunk c's first place in its stretch (0 for h < 8, where a chunk holds
// whole stretches).  For h >= 8 the counts move to the chunk's offset, or
// start afresh with a stretch; the counts are vectors of Element.
template <int h, typename Element, typename Counts>
LANES_INLINE int enter_chunk(int c, Counts& earlier_seen, Counts& run_earlier, Counts& continued) {
    const int chunk_at = h < 8 ? 0 : (kChunk * c) & (2 * h - 1);
    if (h >= 8 && chunk_at == 0) {
        earlier_seen = Counts{} - static_cast<Element>(1 - h);
        continued = Counts{};
    } else if (h >= 8) {
        earlier_seen -= kChunk;
        run_earlier -= kChunk;
    }
    return chunk_at;
}

// Place j of a chunk that starts chunk_at places into its stretch, `into`
// places into the chunk's run of the stretch (j & (2h - 1) for h < 8):
// whether the stretch ends there; for h < 8, where a chunk holds whole
// stretches, a new stretch's counts start afresh at its first place.
template <int h, typename Element, typename Counts>
LANES_INLINE bool enter_place(int j, int into, int chunk_at, int offset, Counts& earlier_seen, Counts& continued) {
    if (h < 8 && into == 0) {
        earlier_seen = Counts{} - static_cast<Element>(offset);
        continued = Counts{};
    }
    return h < 8 ? into == 2 * h - 1 : j == kChunk - 1 && chunk_at == 2 * h - kChunk;
}

template <int h>
LANES_INLINE void level_codes(const Lanes* keys, ChunkBits* chunks, LaneRuns* runs) {
    static_assert(h >= 2 && h <= 128, "a bound of at most 8 bits");
    Mask earlier_seen{};  // less the offset
    Mask run_earlier{};   // x, less the offset
    Mask run_count{};
    // All ones where the run goes on from the place before.
    Mask continued{};
    Mask value = reinterpret_cast<Mask>(keys[0] >> kPositionBits);
    for (int c = 0; c < kChunks; ++c) {
        const int chunk_at = enter_chunk<h, int16_t>(c, earlier_seen, run_earlier, continued);
        const int offset = chunk_at + 1 - h;
        const Mask high_less = Mask{} + static_cast<int16_t>(h - offset);
        Gathered out[2] = {fresh_gathered(), fresh_gathered()};
        Mask end_places{};
        Lanes place_bit = Lanes{} + 1;  // bit j for place j
#pragma GCC unroll 16
        for (int j = 0; j < kChunk; ++j) {
            const int i = kChunk * c + j;
            const int into = h < 8 ? j & (2 * h - 1) : j;
            const bool ends = enter_place<h, int16_t>(j, into, chunk_at, offset, earlier_seen, continued);
            // keys has one place more, so that the look ahead of the last
            // place reads inside it.
            Mask next = reinterpret_cast<Mask>(keys[i + 1] >> kPositionBits);
            Mask goes_on = ends ? Mask{} : value == next;
            run_earlier = continued ? run_earlier : earlier_seen;
            run_count = (run_count & continued) + 1;
            earlier_seen -= reinterpret_cast<Mask>((keys[i] & static_cast<uint16_t>(h)) == 0);
            continued = goes_on;
            value = next;

            // less_low = -low, or 0
            Mask less_low = run_earlier - static_cast<int16_t>(into);
            less_low = less_low < 0 ? less_low : Mask{};
            Mask high = high_less - run_earlier;
            high = high < run_count ? high : run_count;
            Mask bound = high + less_low;
            Mask v = earlier_seen - run_earlier + less_low;
            // The bound's bits smeared down give its highest power of two
            // (1 for the bound 0 as for 1, whose code is then empty).
            Mask smear = bound | 1;
            smear |= smear >> 1;
            if constexpr (h >= 4) smear |= smear >> 2;
            if constexpr (h >= 16) smear |= smear >> 4;
            Mask short_mask = smear >> 1;
            Mask half = smear ^ short_mask;
            Mask is_short = (v & short_mask) > bound - half;
            Mask step = half + (half & ~is_short);
            step = goes_on ? Mask{} + 1 : step;
            append(out[j / 8], reinterpret_cast<Lanes>(v & ~goes_on), reinterpret_cast<Lanes>(step));
            if (runs != nullptr) {
                runs->counts[i] = run_count;
                end_places |= reinterpret_cast<Mask>(place_bit) & ~goes_on;
                place_bit += place_bit;
            }
        }
        chunks[c] = join(out[0], out[1]);
        if (runs != nullptr) runs->ends[c] = end_places;
    }
}

/**** Two stretches at once, in bytes ****/

// Up to level 7 (h <= 64) every count of a stretch fits a byte, and the
// places i and i + 128 of a span lie at the same place of their stretches:
// with AVX2 both are coded at once, span lane k in byte k and the place
// 128 further on in byte 16 + k, which halves the work of those levels.
// Two instructions the vector extensions do not give are written out:
// the saturating pack of 16-bit lanes into bytes and the byte shuffle.
// Everything here is compiled for AVX2 only, in a function of its own per
// level, so that the inline assembly sees 256-bit registers.
#ifdef Q73_X86_64_LOOPS
#define LANES_AVX2 inline __attribute__((always_inline, target("avx2")))

using Octets = uint8_t __attribute__((vector_size(2 * kLanes)));
using SignedOctets = int8_t __attribute__((vector_size(2 * kLanes)));

// The lanes of a and b (each below 256) as bytes: a's eight lanes of each
// 128-bit half, then b's.
LANES_AVX2 SignedOctets pack_bytes(Lanes a, Lanes b) {
    SignedOctets packed;
    __asm__("vpackuswb %2, %1, %0" : "=x"(packed) : "x"(a), "x"(b));
    return packed;
}

// table[index & 15] within each 128-bit half, for indexes below 128.
LANES_AVX2 SignedOctets look_up(Octets table, SignedOctets index) {
    SignedOctets found;
    __asm__("vpshufb %2, %1, %0" : "=x"(found) : "x"(table), "x"(index));
    return found;
}

// The bytes of pack_bytes(a, b) back in 16-bit lanes: those from a, then
// those from b.
template <typename Bytes32>
LANES_AVX2 Lanes from_first(Bytes32 x) {
    Octets bytes = reinterpret_cast<Octets>(x);
    return reinterpret_cast<Lanes>(__builtin_shufflevector(bytes, Octets{}, 0, 32, 1, 33, 2, 34, 3, 35, 4, 36, 5, 37,
                                                           6, 38, 7, 39, 16, 48, 17, 49, 18, 50, 19, 51, 20, 52, 21,
                                                           53, 22, 54, 23, 55));
}

template <typename Bytes32>
LANES_AVX2 Lanes from_second(Bytes32 x) {
    Octets bytes = reinterpret_cast<Octets>(x);
    return reinterpret_cast<Lanes>(__builtin_shufflevector(bytes, Octets{}, 8, 40, 9, 41, 10, 42, 11, 43, 12, 44, 13,
                                                           45, 14, 46, 15, 47, 24, 56, 25, 57, 26, 58, 27, 59, 28,
                                                           60, 29, 61, 30, 62, 31, 63));
}

// The highest power of two not above a bound of at most 64 (1 for the
// bound 0 as for 1), looked up by the bound's two halves of four bits.
template <int h>
LANES_AVX2 SignedOctets highest_power_of_octets(SignedOctets bound) {
    constexpr Octets kLow = {0, 1, 2, 2, 4, 4, 4, 4, 8, 8, 8, 8, 8, 8, 8, 8,
                             0, 1, 2, 2, 4, 4, 4, 4, 8, 8, 8, 8, 8, 8, 8, 8};
    constexpr Octets kHigh = {0, 16, 32, 32, 64, 64, 64, 64, 128, 128, 128, 128, 128, 128, 128, 128,
                              0, 16, 32, 32, 64, 64, 64, 64, 128, 128, 128, 128, 128, 128, 128, 128};
    SignedOctets b = bound | 1;
    if constexpr (h <= 8) return look_up(kLow, b);  // b <= 9
    SignedOctets low = look_up(kLow, b & 15);
    SignedOctets high = look_up(kHigh, reinterpret_cast<SignedOctets>(reinterpret_cast<Lanes>(b) >> 4) & 15);
    return reinterpret_cast<SignedOctets>(reinterpret_cast<Octets>(low) > reinterpret_cast<Octets>(high)
                                              ? reinterpret_cast<Octets>(low)
                                              : reinterpret_cast<Octets>(high));
}

// level_codes for h <= 64, the places i and i + 128 at once; the same
// steps, in bytes.  The counts of earlier keys less the offset lie
// between -49 and 127, run counts (at most 128) are compared unsigned.
template <int h>
__attribute__((noinline, target("avx2"))) void level_codes_paired(const Lanes* keys, ChunkBits* chunks) {
    static_assert(h >= 2 && h <= 64, "counts of at most 128");
    constexpr int kHalf = kLaneSpan / 2;
    using S8 = SignedOctets;
    S8 earlier_seen{};
    S8 run_earlier{};
    Octets run_count{};  // up to 128, unsigned
    S8 continued{};
    S8 value = pack_bytes(keys[0] >> kPositionBits, keys[kHalf] >> kPositionBits);
    for (int c = 0; c < kChunks / 2; ++c) {
        const int chunk_at = enter_chunk<h, int8_t>(c, earlier_seen, run_earlier, continued);
        const int offset = chunk_at + 1 - h;
        const S8 high_less = S8{} + static_cast<int8_t>(h - offset);
        Gathered out[2][2] = {{fresh_gathered(), fresh_gathered()}, {fresh_gathered(), fresh_gathered()}};
#pragma GCC unroll 16
        for (int j = 0; j < kChunk; ++j) {
            const int i = kChunk * c + j;
            const int into = h < 8 ? j & (2 * h - 1) : j;
            const bool ends = enter_place<h, int8_t>(j, into, chunk_at, offset, earlier_seen, continued);
            S8 next = pack_bytes(keys[i + 1] >> kPositionBits, keys[kHalf + i + 1] >> kPositionBits);
            S8 goes_on = ends ? S8{} : value == next;
            run_earlier = continued ? run_earlier : earlier_seen;
            run_count = (run_count & reinterpret_cast<Octets>(continued)) + 1;
            S8 earlier_bits = pack_bytes(keys[i] & static_cast<uint16_t>(h), keys[kHalf + i] & static_cast<uint16_t>(h));
            earlier_seen -= earlier_bits == 0;
            continued = goes_on;
            value = next;

            S8 less_low = run_earlier - static_cast<int8_t>(into);
            less_low = less_low < 0 ? less_low : S8{};
            Octets high = reinterpret_cast<Octets>(high_less - run_earlier);
            S8 bound = reinterpret_cast<S8>(high < run_count ? high : run_count) + less_low;
            S8 v = earlier_seen - run_earlier + less_low;
            S8 half = highest_power_of_octets<h>(bound);
            S8 is_short = (v & (half - 1)) > bound - half;
            // Up to 128: unsigned.
            Octets step = reinterpret_cast<Octets>(half) + reinterpret_cast<Octets>(half & ~is_short);
            step = goes_on ? Octets{} + 1 : step;
            S8 code = v & ~goes_on;
            append(out[j / 8][0], from_first(code), from_first(step));
            append(out[j / 8][1], from_second(code), from_second(step));
        }
        chunks[c] = join(out[0][0], out[1][0]);
        chunks[c + kChunks / 2] = join(out[0][1], out[1][1]);
    }
}

#endif  // Q73_X86_64_LOOPS

// The codes of a level go out lane by lane, out of line: in the middle of
// the lanes' loops the writer's fields would find no registers free.  Two
// chunks of a lane (at most 48 bits) go out at once, and the writer moves
// on by whole bytes, storing eight at a time: its accumulator then never
// holds more than 7 + 48 bits.  An eight-byte store stays inside the
// stream's buffer, since a level at most 8 never fills its stream to its
// last 256 bytes: a run costs at most one bit per key and the last run of
// each merge none, so a stretch of 2h keys codes at most 2h - 1 bits.  The
// writer is worked on in copies: its words go out through a pointer that
// could, as far as the compiler knows, point into the writer itself, which
// would keep every field in memory from one code to the next.
static_assert(kLaneLevel <= 8 && kStreamCapacity / (2 << (kLaneLevel - 1)) >= 8, "eight bytes of room");

using Flush = void (*)(LevelWriter& writer, const ChunkBits* chunks, int lanes);

inline __attribute__((always_inline)) void flush_codes(LevelWriter& writer, const ChunkBits* chunks, int lanes) {
    // The accumulator's whole bytes are in the stream already.
    uint8_t* position = writer.position + (writer.count >> 3);
    uint64_t bits = writer.bits >> (writer.count & ~7);
    uint64_t count = static_cast<uint64_t>(writer.count & 7);
    for (int lane = 0; lane < lanes; ++lane) {
        int half = (lane >> 2) & 1;
        int k = (lane & 3) | ((lane & 8) >> 1);
        for (int c = 0; c < kChunks; c += 2) {
            uint64_t first = chunks[c].counts[half][k];
            uint64_t piece = chunks[c].bits[half][k] | static_cast<uint64_t>(chunks[c + 1].bits[half][k]) << first;
            bits |= piece << count;
            count += first + chunks[c + 1].counts[half][k];
            store_le64(position, bits);
            position += count >> 3;
            bits >>= count & ~uint64_t{7};
            count &= 7;
        }
    }
    writer.bits = bits;
    writer.count = static_cast<int>(count);
    writer.position = position;
}

__attribute__((noinline)) void flush_plain(LevelWriter& writer, const ChunkBits* chunks, int lanes) {
    flush_codes(writer, chunks, lanes);
}

#ifdef Q73_X86_64_LOOPS
__attribute__((noinline, target("bmi,bmi2"))) void flush_bmi2(LevelWriter& writer, const ChunkBits* chunks,
                                                            int lanes) {
    flush_codes(writer, chunks, lanes);
}
#endif

template <int level, bool kPaired>
LANES_INLINE void code_levels(Lanes* keys, int lanes, LevelWriter* writers, LaneRuns* runs, Flush flush) {
    constexpr int h = 1 << (level - 1);
    merge_sorted<h>(keys);
    ChunkBits chunks[kChunks];
    if constexpr (level == 1)
        pair_codes(keys, chunks);
#ifdef Q73_X86_64_LOOPS
    else if constexpr (kPaired && h <= 64)
        level_codes_paired<h>(keys, chunks);
#endif
    else
        level_codes<h>(keys, chunks, level == kLaneLevel ? runs : nullptr);
    flush(writers[level - 1], chunks, lanes);
    if constexpr (level < kLaneLevel) code_levels<level + 1, kPaired>(keys, lanes, writers, runs, flush);
}

template <bool kPaired>
LANES_INLINE void code_group(const uint8_t* group, int lanes, LevelWriter* writers, ArrayList* lists, Flush flush) {
    Lanes keys[kLaneSpan + 1];
    load_keys(group, keys);
    keys[kLaneSpan] = Lanes{};
    LaneRuns runs;
    code_levels<1, kPaired>(keys, lanes, writers, &runs, flush);

    // Each run's last key leaves its symbol and count in the list; the ends
    // are found four chunks at a time.
    static_assert(kChunks % 4 == 0, "ends taken 64 places at a time");
    for (int lane = 0; lane < lanes; ++lane) {
        ArrayList& list = lists[lane];
        int r = 0;
        for (int c = 0; c < kChunks; c += 4) {
            uint64_t ends = 0;
            for (int k = 0; k < 4; ++k)
                ends |= static_cast<uint64_t>(static_cast<uint16_t>(runs.ends[c + k][lane])) << (16 * k);
            while (ends != 0) {
                int i = kChunk * c + __builtin_ctzll(ends);
                list.cells[r] = static_cast<uint16_t>(keys[i][lane] >> kPositionBits);
                list.cells[kStride + r] = static_cast<uint16_t>(runs.counts[i][lane]);
                ++r;
                ends &= ends - 1;
            }
        }
        list.runs = r;
        list.cells[r] = kSentinel;
    }
}

#ifdef Q73_X86_64_LOOPS
__attribute__((target("avx2,bmi,bmi2"))) void code_group_avx2(const uint8_t* group, int lanes, LevelWriter* writers,
                                                               ArrayList* lists) {
    code_group<true>(group, lanes, writers, lists, flush_bmi2);
}
#endif

void code_group_plain(const uint8_t* group, int lanes, LevelWriter* writers, ArrayList* lists) {
    code_group<false>(group, lanes, writers, lists, flush_plain);
}

}  // namespace

void code_lane_group(const uint8_t* group, int lanes, LevelWriter* writers, ArrayList* lists) {
#ifdef Q73_X86_64_LOOPS
    // Every processor with AVX2 has BMI2 as well, whose shifts by a register
    // other than cl the writer's steps take; both are asked for all the same.
    static const bool avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi2");
    if (avx2) {
        code_group_avx2(group, lanes, writers, lists);
        return;
    }
#endif
    code_group_plain(group, lanes, writers, lists);
}
