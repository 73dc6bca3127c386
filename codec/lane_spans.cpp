#include "codec/lane_spans.h"

#include <cstring>

// Every function here taking or returning vectors is inlined into one of
// the two entry points below, so no vector crosses a call.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace {

using Lanes = uint32_t __attribute__((vector_size(4 * kLanes)));
using Mask = int32_t __attribute__((vector_size(4 * kLanes)));
using Floats = float __attribute__((vector_size(4 * kLanes)));

// Keys are the byte above its position in the span: unique, and in byte
// order first.
constexpr int kPositionBits = 5;
static_assert(kLaneSpan == 1 << kPositionBits, "a key's position field");

inline void order_pair(Lanes& a, Lanes& b) {
    Mask less = a < b;
    Lanes low = less ? a : b;
    Lanes high = less ? b : a;
    a = low;
    b = high;
}

// Merges the sorted stretches of `h` keys at base and base + h.  The later
// one taken backwards makes the whole a rising then falling sequence, which
// halving comparisons sort.
inline void merge_sorted(Lanes* keys, int h) {
    for (int base = 0; base < kLaneSpan; base += 2 * h) {
        Lanes* k = keys + base;
        for (int j = 0; j < h; ++j) order_pair(k[j], k[2 * h - 1 - j]);
        for (int d = h / 2; d >= 1; d /= 2)
            for (int block = 0; block < 2 * h; block += 2 * d)
                for (int j = block; j < block + d; ++j) order_pair(k[j], k[j + d]);
    }
}

// Bit length minus one of x (x >= 1), from the exponent of its float.
inline Mask top_bit(Mask x) {
    Floats f = __builtin_convertvector(x, Floats);
    Mask e;
    std::memcpy(&e, &f, sizeof e);
    return (e >> 23) - 127;
}

struct LevelBits {
    Lanes bits;
    Lanes count;
};

// The codes of the merges that built the stretches of 2h keys, read off the
// keys in order: a run ends where the next key has another byte, its count
// is the stretch of equal bytes, and a key is from the earlier half when its
// position has bit h clear.  With x the earlier half's keys before the run,
// n its count and i its last place, the remainders give
//   low = max(i + 1 - h - x, 0), high = min(h - x, n).
// A run of the bound 0 comes out as a code of no bits by itself.
inline LevelBits level_codes(const Lanes* keys, int h, Mask* run_counts) {
    LevelBits out{Lanes{}, Lanes{}};
    Mask earlier_seen{};
    Mask run_earlier{};
    Mask run_count{};
    Mask starts = Mask{} - 1;
    for (int i = 0; i < kLaneSpan; ++i) {
        int place = i & (2 * h - 1);
        if (place == 0) {
            earlier_seen = Mask{};
            starts = Mask{} - 1;
        }
        Mask value = reinterpret_cast<Mask>(keys[i] >> kPositionBits);
        Mask ends = Mask{} - 1;
        if (place != 2 * h - 1) ends = value != reinterpret_cast<Mask>(keys[i + 1] >> kPositionBits);
        run_earlier = starts ? earlier_seen : run_earlier;
        run_count = (run_count & ~starts) + 1;
        Mask earlier = reinterpret_cast<Mask>((keys[i] & static_cast<uint32_t>(h)) == 0);
        earlier_seen -= earlier;
        starts = ends;

        Mask low = (place + 1 - h) - run_earlier;
        low &= low > 0;
        Mask high = h - run_earlier;
        high = high < run_count ? high : run_count;
        Mask bound = high - low;
        Mask v = earlier_seen - run_earlier - low;
        Mask top = top_bit(bound | 1);
        Mask half = Mask{} + 1;
        half = half << top;
        Mask short_bits = v & (half - 1);
        Mask long_code = short_bits <= bound - half;
        Mask length = (top - long_code) & ends;
        Mask code = (long_code ? v : short_bits) & ends;
        out.bits |= reinterpret_cast<Lanes>(code) << out.count;
        out.count += reinterpret_cast<Lanes>(length);
        if (run_counts != nullptr) run_counts[i] = run_count | (ends & (1 << 16));
    }
    return out;
}

inline void flush(LevelWriter& writer, const LevelBits& level) {
    for (int lane = 0; lane < kLanes; ++lane) write_bits(writer, level.bits[lane], static_cast<int>(level.count[lane]));
}

__attribute__((always_inline)) inline void code_group(const uint8_t* group, LevelWriter* writers, ArrayList* lists) {
    Lanes keys[kLaneSpan];
    for (int i = 0; i < kLaneSpan; ++i)
        for (int lane = 0; lane < kLanes; ++lane)
            keys[i][lane] = static_cast<uint32_t>(group[kLaneSpan * lane + i]) << kPositionBits | static_cast<uint32_t>(i);

    Mask runs[kLaneSpan];
    for (int level = 1; level <= 5; ++level) {
        int h = 1 << (level - 1);
        merge_sorted(keys, h);
        flush(writers[level - 1], level_codes(keys, h, level == 5 ? runs : nullptr));
    }

    // Each run's last key leaves its symbol and count in the list.
    for (int lane = 0; lane < kLanes; ++lane) {
        ArrayList& list = lists[lane];
        int r = 0;
        for (int i = 0; i < kLaneSpan; ++i) {
            uint32_t c = static_cast<uint32_t>(runs[i][lane]);
            list.cells[r] = static_cast<uint16_t>(keys[i][lane] >> kPositionBits);
            list.cells[kStride + r] = static_cast<uint16_t>(c);
            r += static_cast<int>(c >> 16);
        }
        list.runs = r;
        list.cells[r] = kSentinel;
    }
}

#if defined(__x86_64__) && !defined(Q73_PORTABLE_LOOPS)
__attribute__((target("avx2"))) void code_group_avx2(const uint8_t* group, LevelWriter* writers, ArrayList* lists) {
    code_group(group, writers, lists);
}
#endif

void code_group_plain(const uint8_t* group, LevelWriter* writers, ArrayList* lists) {
    code_group(group, writers, lists);
}

}  // namespace

void code_lane_group(const uint8_t* group, LevelWriter* writers, ArrayList* lists) {
#if defined(__x86_64__) && !defined(Q73_PORTABLE_LOOPS)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2) {
        code_group_avx2(group, writers, lists);
        return;
    }
#endif
    code_group_plain(group, writers, lists);
}
