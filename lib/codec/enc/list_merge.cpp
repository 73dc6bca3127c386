#include "codec/enc/list_merge.h"

#include <cstddef>

#include "codec/bounded_code.h"
#include "codec/enc/merge_limits_asm.h"
#include "codec/pick.h"
#include "codec/working_state.h"

/**** Merging ****/

// rem0 and rem1 are the bytes of the earlier and the later span that the
// symbols visited so far have not accounted for.  A symbol with n
// occurrences must put at least n - rem1 of them into the earlier span (the
// later one has no room for more) and at most min(rem0, n); the split value
// is coded relative to that lower limit.
void merge_into(CodecState* s, int level, int side, LevelWriter& writer) {
    RunNode* a = s->pending_lists[level][0];
    RunNode* b = s->pending_lists[level][1];
    int32_t rem0 = s->level_totals[level][0];
    int32_t rem1 = s->level_totals[level][1];
    s->level_totals[level + 1][side] = rem0 + rem1;

    // Branch-free: each step takes the node with the smaller symbol, or both
    // when they are equal, by masks rather than by branches; merges of
    // short lists are too irregular for branches to be guessed well.
    LevelWriter w = writer;
    RunNode* free_tail = s->node_pool.free_tail;
    RunNode head;
    RunNode* last = &head;
#ifdef Q73_X86_64_LOOPS
    // The portable loop of the other branch, step for step, with every value in a register and one
    // comparison of the two symbols serving every selection: compilers keep
    // the remainders and the last node on the stack here, and each step
    // then waits for its own stores.  The code of a bound m takes top =
    // bsr(m | 1) bits, one more when its short bits are at most m - 2^top;
    // it is below 2^19, so it fits beside the fewer than 32 bits waiting.
    static_assert(offsetof(RunNode, symbol) == 0 && offsetof(RunNode, count) == 4 &&
                      offsetof(RunNode, next) == 8,
                  "the loop's node layout");
    uint64_t bits = w.bits;
    uint64_t count = static_cast<uint64_t>(w.count);
    uint8_t* position = w.position;
    int64_t rem0_ = rem0;
    int64_t rem1_ = rem1;
    uint64_t t0, t1, t2, t3, t4, t5;
    if (a != nullptr && b != nullptr) {
        __asm__(
            "1:\n\t"
            "movzwl (%[a]), %k[t0]\n\t"
            "movzwl (%[b]), %k[t1]\n\t"
            "xor %k[t2], %k[t2]\n\t"
            "xor %k[t3], %k[t3]\n\t"
            "mov %[b], %[t4]\n\t"
            "cmp %k[t1], %k[t0]\n\t"  // sa - sb: below or equal takes a, above or equal takes b
            "cmovbe 4(%[a]), %k[t2]\n\t"  // c0
            "cmovae 4(%[b]), %k[t3]\n\t"  // c1
            "cmovbe %[a], %[t4]\n\t"  // the node kept
            "lea (%q[t2], %q[t3]), %k[t5]\n\t"  // n
            "mov %k[t5], 4(%[t4])\n\t"
            "mov %[t4], 8(%[last])\n\t"
            "mov %[t4], %[last]\n\t"
            // A shared symbol gives b back; the tail's link is kept only then.
            "mov %[b], 8(%[tail])\n\t"
            "cmove %[b], %[tail]\n\t"
            "mov 8(%[a]), %[t4]\n\t"
            "cmovbe %[t4], %[a]\n\t"
            "mov 8(%[b]), %[t4]\n\t"
            "cmovae %[t4], %[b]\n\t"
            Q73_MERGE_LIMITS(t5, t2, t3, t0, t1, t4)  // the bound m in t1, the value v in t2
            "mov %k[t1], %k[t3]\n\t"
            "or $1, %k[t3]\n\t"
            "bsr %k[t3], %k[t3]\n\t"  // top
            "xor %k[t4], %k[t4]\n\t"
            "bts %k[t3], %k[t4]\n\t"  // h = 2^top
            "sub %k[t4], %k[t1]\n\t"  // m - h
            "dec %k[t4]\n\t"
            "and %k[t2], %k[t4]\n\t"  // the short code
            "xor %k[t0], %k[t0]\n\t"
            "cmp %k[t1], %k[t4]\n\t"
            "cmovle %k[t2], %k[t4]\n\t"  // at most m - h: the long code, v
            "setle %b[t0]\n\t"
            "add %k[t0], %k[t3]\n\t"  // the code's length
            "shl %%cl, %[t4]\n\t"
            "or %[t4], %[bits]\n\t"
            "add %k[t3], %%ecx\n\t"
            // The low word goes out every time; the writer moves on,
            // without a branch, only when it is full (write_bits).
            "mov %[position], %[t4]\n\t"
            "mov %k[bits], (%[t4])\n\t"
            "lea 4(%[t4]), %[t4]\n\t"
            "mov %[bits], %[t3]\n\t"
            "shr $32, %[t3]\n\t"
            "cmp $32, %%ecx\n\t"
            "cmovae %[t3], %[bits]\n\t"
            "cmovb %[position], %[t4]\n\t"
            "mov %[t4], %[position]\n\t"
            "and $31, %%ecx\n\t"
            "test %[a], %[a]\n\t"
            "jz 3f\n\t"
            "test %[b], %[b]\n\t"
            "jnz 1b\n\t"
            "3:\n\t"
            : [a] "+r"(a), [b] "+r"(b), [rem0] "+r"(rem0_), [rem1] "+r"(rem1_), [bits] "+r"(bits),
              "+c"(count), [tail] "+r"(free_tail), [last] "+r"(last), [position] "+m"(position),
              [t0] "=&r"(t0), [t1] "=&r"(t1), [t2] "=&r"(t2), [t3] "=&r"(t3), [t4] "=&r"(t4), [t5] "=&r"(t5)
            :
            : "cc", "memory");
    }
    w.bits = bits;
    w.count = static_cast<int>(count);
    w.position = position;
#else
    while (a != nullptr && b != nullptr) {
        uint32_t sa = a->symbol;
        uint32_t sb = b->symbol;
        uint32_t take_a = sa <= sb;
        uint32_t take_b = sb <= sa;
        int32_t c0 = pick(take_a, a->count, 0);
        int32_t n = c0 + pick(take_b, b->count, 0);
        int32_t over = n - rem1;
        int32_t low = over & ~(over >> 31);       // max(n - rem1, 0)
        int32_t room = rem0 - n;
        int32_t high = n + (room & (room >> 31));  // min(rem0, n)
        write_bounded(w, c0 - low, high - low);
        rem0 -= c0;
        rem1 -= n - c0;

        RunNode* kept = pick(take_a, a, b);
        kept->count = n;
        last->next = kept;
        last = kept;
        // A shared symbol gives b back; b->next stays intact.  The tail's
        // link is written every time but only kept when b really joins the
        // free list: the head never reaches the tail, so a link that is
        // overwritten before the next give-back is never followed.
        free_tail->next = b;
        free_tail = pick(take_a & take_b, b, free_tail);
        RunNode* a_next = a->next;
        RunNode* b_next = b->next;
        a = pick(take_a, a_next, a);
        b = pick(take_b, b_next, b);
    }
#endif
    writer = w;
    s->node_pool.free_tail = free_tail;
    // One span is full: every remaining symbol has the bound 0.
    last->next = a != nullptr ? a : b;
    s->pending_lists[level + 1][side] = head.next;
    s->pending_lists[level][0] = nullptr;
    s->pending_lists[level][1] = nullptr;
}

void merge_level(CodecState* s, int level, int side) {
    LevelWriter writer = open_writer(&s->level_streams[level]);
    merge_into(s, level, side, writer);
    close_writer(&s->level_streams[level], writer);
}

/**** Leaves ****/

RunNode* leaf_list(CodecState* s, unsigned x, unsigned y) {
    RunNode* first = take_node(s);
    if (x == y) {
        first->symbol = static_cast<uint16_t>(x);
        first->count = 2;
        first->next = nullptr;
        return first;
    }
    RunNode* second = take_node(s);
    first->symbol = static_cast<uint16_t>(x < y ? x : y);
    first->count = 1;
    first->next = second;
    second->symbol = static_cast<uint16_t>(x < y ? y : x);
    second->count = 1;
    second->next = nullptr;
    return first;
}
