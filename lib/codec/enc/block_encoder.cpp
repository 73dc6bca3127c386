#include "codec/enc/block_encoder.h"

#include <cstring>

#include "codec/bit_stream.h"
#include "codec/bounded_code.h"
#include "codec/byte_order.h"
#include "codec/enc/array_list.h"
#include "codec/enc/lane_spans.h"
#include "codec/enc/list_merge.h"
#include "codec/enc/merge_limits_asm.h"
#include "codec/enc/pair_quads.h"
#include "codec/pick.h"
#include "codec/stream_records.h"
#include "codec/working_state.h"

static_assert(kEncoderNodes >= 22 * 256 && kEncoderNodes <= kPoolSize, "the encoder's nodes");

/**** Root stream ****/

void write_root_list(CodecState* s, int32_t n) {
    LevelStream* root = &s->level_streams[kRootStream];
    put_bounded(root, n, kBlockSize);
    int32_t r = n;
    for (RunNode* node = s->pending_lists[20][0]; node != nullptr; node = node->next) {
        put_bounded(root, node->symbol, 255);
        if (node->count < 256) {
            put_bounded(root, 0, 2);
            put_bounded(root, node->count, 255);
        } else if (node->count < 65536) {
            put_bounded(root, 1, 2);
            put_bounded(root, node->count, 65535);
        } else {
            put_bounded(root, 2, 2);
            put_bounded(root, node->count, r);
        }
        r -= node->count;
    }
}

/**** Pairs and the carry ****/

// Pairs 2g and 2g + 1 together with their level-1 merge, from the table:
// the order bits, the split values and the 4-byte list at level 2.
static inline RunNode* quad_list(CodecState* s, const QuadEntry* table, const uint8_t* q) {
    const QuadEntry& e = table[quad_index(q)];
    write_bits(s->writers[0], e.order_bits, e.order_count);
    write_bits(s->writers[1], e.split_bits, e.split_count);
    RunNode* first = take_node(s);
    RunNode* last = first;
    first->symbol = q[e.source[0]];
    first->count = e.count[0];
    for (int k = 1; k < e.runs; ++k) {
        RunNode* node = take_node(s);
        node->symbol = q[e.source[k]];
        node->count = e.count[k];
        last->next = node;
        last = node;
    }
    last->next = nullptr;
    return first;
}

/**** Spans of 512 bytes in arrays ****/

// A list has at most 256 runs, and within a lane group of 4096 bytes no
// bound of a merge exceeds 2048, the reach of the table of code shapes.  A
// group is therefore coded off the pool up to its whole 4096 bytes: its
// 256-byte halves in the lanes, then the merges of levels 8 to 11 in arrays
// on the stack (encode_spans).  Each stream receives its codes in the order
// of their spans, as the counter would write them; only the group's list is
// built from the pool.  Each array ends in a sentinel symbol above every
// byte, so a merge needs one test per step for the end of either list.
// Once a list is used up, the other's remaining runs have the bound 0 and
// write no bits.
constexpr int kArrayLevel = 9;
constexpr int kArraySpan = 1 << kArrayLevel;

// The merge of merge_into on arrays: both lists describe `total` bytes, and
// rem0 and rem1, low and high are as there.  The walk stops when either
// list stands at its sentinel, which no byte reaches.
__attribute__((noinline)) static void merge_arrays(const ArrayList& a, const ArrayList& b, int32_t total,
                                                   LevelWriter& writer, ArrayList& out) {
    const uint16_t* pa = a.cells;
    const uint16_t* pb = b.cells;
    uint16_t* po = out.cells;
    uint64_t bits = writer.bits;
    uint64_t count = static_cast<uint64_t>(writer.count);
    uint8_t* position = writer.position;
    int64_t rem0 = total;
    int64_t rem1 = total;
#ifdef Q73_X86_64_LOOPS
    // The portable loop below, step for step, with every value in a register
    // and the comparison of the two symbols serving all five selections:
    // compilers spill the remainders and the accumulator here and test each
    // selection anew.  The counts stand kStride cells behind their symbols,
    // a CodeShape is 8 bytes and a bound within a lane group is at most 2048.  The
    // short code is the value ANDed with the entry's first four bytes, where
    // a value below 65536 meets only the short mask.
    static_assert(sizeof(CodeShape) == 8 && kShapedBounds >= kArraySpan, "the loop's table");
    const CodeShape* shapes = kCodeShapes;
    uint64_t t0, t1, t2, t3, t4;
    __asm__(
        "1:\n\t"
        "movzwl (%[pa]), %k[t0]\n\t"  // sa
        "movzwl (%[pb]), %k[t1]\n\t"  // sb
        "mov %k[t0], %k[t2]\n\t"
        "or %k[t1], %k[t2]\n\t"
        "cmp $256, %k[t2]\n\t"  // either at its sentinel
        "jae 3f\n\t"
        "xor %k[t2], %k[t2]\n\t"
        "xor %k[t3], %k[t3]\n\t"
        "cmp %k[t1], %k[t0]\n\t"  // sa - sb: below or equal takes a, above or equal takes b
        "movzwl %c[counts](%[pa]), %k[t4]\n\t"
        "cmovbe %k[t4], %k[t2]\n\t"  // c0
        "movzwl %c[counts](%[pb]), %k[t4]\n\t"
        "cmovae %k[t4], %k[t3]\n\t"  // c1
        "cmova %k[t1], %k[t0]\n\t"  // the smaller symbol
        "mov %w[t0], (%[po])\n\t"
        "lea 2(%[pa]), %[t4]\n\t"
        "cmovbe %[t4], %[pa]\n\t"
        "lea 2(%[pb]), %[t4]\n\t"
        "cmovae %[t4], %[pb]\n\t"
        "lea (%[t2], %[t3]), %k[t0]\n\t"  // n
        "mov %w[t0], %c[counts](%[po])\n\t"
        "add $2, %[po]\n\t"
        Q73_MERGE_LIMITS(t0, t2, t3, t1, t4, t4)  // the bound in t4, the value in t2
        "mov %k[t2], %k[t1]\n\t"
        "and (%[shapes], %[t4], 8), %k[t1]\n\t"  // its short code
        "cmpw 6(%[shapes], %[t4], 8), %w[t1]\n\t"  // below long_end: the long code
        "cmovb %k[t2], %k[t1]\n\t"
        "movzbl 2(%[shapes], %[t4], 8), %k[t3]\n\t"
        "adc $0, %k[t3]\n\t"  // the code's length
        "shl %%cl, %[t1]\n\t"
        "or %[t1], %[bits]\n\t"
        "add %k[t3], %%ecx\n\t"
        // The low word goes out every time; the writer moves on, without a
        // branch, only when it is full (write_bits).
        "mov %k[bits], (%[position])\n\t"
        "lea 4(%[position]), %[t4]\n\t"
        "mov %[bits], %[t3]\n\t"
        "shr $32, %[t3]\n\t"
        "cmp $32, %%ecx\n\t"
        "cmovae %[t3], %[bits]\n\t"
        "cmovae %[t4], %[position]\n\t"
        "and $31, %%ecx\n\t"
        "jmp 1b\n\t"
        "3:\n\t"
        : [pa] "+r"(pa), [pb] "+r"(pb), [po] "+r"(po), [rem0] "+r"(rem0), [rem1] "+r"(rem1),
          [bits] "+r"(bits), "+c"(count), [position] "+r"(position), [t0] "=&r"(t0), [t1] "=&r"(t1),
          [t2] "=&r"(t2), [t3] "=&r"(t3), [t4] "=&r"(t4)
        : [shapes] "r"(shapes), [counts] "i"(kStride * sizeof(uint16_t))
        : "cc", "memory");
#else
    for (;;) {
        uint32_t sa = pa[0];
        uint32_t sb = pb[0];
        if ((sa | sb) >= kSentinel) break;
        // Masks rather than selections: all ones when the list's symbol is
        // taken.
        uint32_t mask_a = 0u - (sa <= sb);
        uint32_t mask_b = 0u - (sb <= sa);
        uint32_t c0 = pa[kStride] & mask_a;
        uint32_t c1 = pb[kStride] & mask_b;
        uint32_t n = c0 + c1;
        int32_t over = static_cast<int32_t>(n - rem1);
        int32_t low = over & ~(over >> 31);       // max(n - rem1, 0)
        int32_t room = static_cast<int32_t>(rem0 - n);
        int32_t high = static_cast<int32_t>(n) + (room & (room >> 31));  // min(rem0, n)
        rem0 -= c0;
        rem1 -= c1;
        const CodeShape& shape = kCodeShapes[high - low];
        uint32_t v = c0 - static_cast<uint32_t>(low);
        uint32_t short_bits = v & shape.short_mask;
        uint32_t long_mask = 0u - (short_bits < shape.long_end);
        bits |= static_cast<uint64_t>(short_bits | (v & long_mask)) << count;
        count += shape.short_length - long_mask;
        if (count >= 32) {
            store_le32(position, static_cast<uint32_t>(bits));
            position += 4;
            bits >>= 32;
            count -= 32;
        }
        po[0] = static_cast<uint16_t>(sb ^ ((sa ^ sb) & mask_a));
        po[kStride] = static_cast<uint16_t>(n);
        ++po;
        pa += mask_a & 1;
        pb += mask_b & 1;
    }
#endif
    writer.bits = bits;
    writer.count = static_cast<int>(count);
    writer.position = position;
    // The rest of the list not used up has the bound 0 throughout: it is
    // copied as it stands.
    const uint16_t* rest = pa[0] != kSentinel ? pa : pb;
    const ArrayList& owner = pa[0] != kSentinel ? a : b;
    int left = owner.runs - static_cast<int>(rest - owner.cells);
    for (int k = 0; k < left; k += 8) {
        std::memcpy(po + k, rest + k, 16);
        std::memcpy(po + kStride + k, rest + kStride + k, 16);
        __asm__("" ::: "memory");  // a few runs as a rule: no call to memmove
    }
    po += left;
    po[0] = kSentinel;
    out.runs = static_cast<int>(po - out.cells);
}

static RunNode* pool_list(CodecState* s, const ArrayList& list) {
    RunNode head;
    RunNode* last = &head;
    for (int k = 0; k < list.runs; ++k) {
        RunNode* node = take_node(s);
        node->symbol = list.cells[k];
        node->count = list.cells[kStride + k];
        last->next = node;
        last = node;
    }
    last->next = nullptr;
    return head.next;
}

// Codes `count` whole 512-byte spans from `first` on, at most a lane
// group's worth (first is a multiple of kSpansPerGroup).  Their 256-byte
// halves come from the lanes, merged there up to level 8.  The counter then
// goes on in arrays up to the group's whole 4096 bytes: each pair of halves
// is merged into its span's level-9 list, and lists waiting at a level are
// merged as the counter carries, in the order of the spans, which is the
// order in which the counter writes those streams.  The group's list goes
// to the pool at level 12 and is carried up; the last group of a short
// block leaves its unpaired lists waiting on the pool at their levels.
constexpr int kSpansPerGroup = kLaneGroup / kArraySpan;
constexpr int kGroupLevel = kArrayLevel + 3;
static_assert(kLaneLevel == kArrayLevel - 1, "one array merge above the lanes");
static_assert(kSpansPerGroup == 1 << (kGroupLevel - kArrayLevel), "a group's spans end at its level");
static_assert(kShapedBounds >= kLaneGroup / 2, "a group's merges stay within the table of shapes");

static void encode_spans(CodecState* s, const uint8_t* chunk, int32_t first, int count) {
    const uint8_t* group = chunk + kArraySpan * first;
    alignas(16) uint8_t padded[kLaneGroup];
    if (count < kSpansPerGroup) {  // the block's last spans: the lanes past them are left unread
        std::memcpy(padded, group, static_cast<size_t>(kArraySpan) * count);
        group = padded;
    }
    ArrayList halves[kLanes];
    code_lane_group(group, 2 * count, s->writers, halves);
    // waiting[level - kArrayLevel]: the earlier list of that level in the
    // group, while its partner is being built.
    ArrayList waiting[kGroupLevel - kArrayLevel];
    ArrayList lists[2];
    ArrayList group_list;
    for (int k = 0; k < count; ++k) {
        // The counter carries once for each trailing 1 of k, up to the
        // group's level; the list it ends with is made in the place where
        // it waits, or, at the group's level, where it goes to the pool.
        const int top = kArrayLevel + __builtin_ctz(~static_cast<unsigned>(k));
        ArrayList* made = top < kGroupLevel ? &waiting[top - kArrayLevel] : &group_list;
        ArrayList* out = top == kArrayLevel ? made : &lists[0];
        merge_arrays(halves[2 * k], halves[2 * k + 1], kArraySpan / 2, s->writers[kArrayLevel - 1], *out);
        for (int level = kArrayLevel; level < top; ++level) {
            ArrayList* next = level + 1 == top ? made : (out == &lists[0] ? &lists[1] : &lists[0]);
            merge_arrays(waiting[level - kArrayLevel], *out, kArraySpan << (level - kArrayLevel), s->writers[level],
                         *next);
            out = next;
        }
        if (top == kGroupLevel) {
            int32_t index = first / kSpansPerGroup;
            s->pending_lists[top][index & 1] = pool_list(s, group_list);
            s->level_totals[top][index & 1] = kLaneGroup;
            int32_t g = (first + kSpansPerGroup) * (kArraySpan / 4) - 1;  // the group's last quad
            for (int level = top; (g >> (level - 2)) & 1; ++level)
                merge_into(s, level, (g >> (level - 1)) & 1, s->writers[level]);
        }
    }
    if (count == kSpansPerGroup) return;
    // A short block's last group: what still waits goes to slot 0 of its
    // level on the pool, for the closing pass.
    for (int level = kArrayLevel; level < kGroupLevel; ++level) {
        if ((count >> (level - kArrayLevel)) & 1) {
            s->pending_lists[level][0] = pool_list(s, waiting[level - kArrayLevel]);
            s->level_totals[level][0] = kArraySpan << (level - kArrayLevel);
        }
    }
}

void encode_block(CodecState* s, const uint8_t* chunk, int32_t n) {
    const QuadEntry* table = quad_entries(s);
    thread_node_pool(s, kEncoderNodes);
    reset_pending_lists(s);
    s->level_totals[1][0] = 2;
    s->level_totals[1][1] = 2;
    s->level_totals[2][0] = 4;
    s->level_totals[2][1] = 4;
    for (int level = 0; level < kRootStream; ++level) s->writers[level] = open_writer(&s->level_streams[level]);

    // Pairs d = 2g and 2g + 1 end with the level-1 merge into slot g & 1 of
    // level 2; the carries above follow the bits of g as a counter.
    int32_t quads = n / 4;
    int32_t spans = n / kArraySpan;
    for (int32_t first = 0; first < spans; first += kSpansPerGroup)
        encode_spans(s, chunk, first, spans - first < kSpansPerGroup ? spans - first : kSpansPerGroup);
    for (int32_t g = spans * (kArraySpan / 4); g < quads; ++g) {
        s->pending_lists[2][g & 1] = quad_list(s, table, chunk + 4 * g);
        for (int k = 2; (g >> (k - 2)) & 1; ++k) merge_into(s, k, (g >> (k - 1)) & 1, s->writers[k]);
    }
    if (n & 2) {  // an odd number of pairs: the last one waits at level 1
        unsigned x = chunk[n - 2];
        unsigned y = chunk[n - 1];
        s->pending_lists[1][0] = leaf_list(s, x, y);
        if (x != y) write_bits(s->writers[0], x < y, 1);
    }

    // Closing pass: a short block leaves lists of unequal spans behind.
    for (int level = 1; level <= 19; ++level) {
        if (s->pending_lists[level][1] != nullptr) {
            merge_into(s, level, s->pending_lists[level + 1][0] != nullptr ? 1 : 0, s->writers[level]);
        } else if (s->pending_lists[level][0] != nullptr) {
            int side = s->pending_lists[level + 1][0] != nullptr ? 1 : 0;
            s->pending_lists[level + 1][side] = s->pending_lists[level][0];
            s->level_totals[level + 1][side] = s->level_totals[level][0];
            s->pending_lists[level][0] = nullptr;
        }
    }
    for (int level = 0; level < kRootStream; ++level) close_writer(&s->level_streams[level], s->writers[level]);
    write_root_list(s, n);
}
