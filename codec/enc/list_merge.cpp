#include "codec/enc/list_merge.h"

#include "codec/bounded_code.h"
#include "codec/pick.h"
#include "codec/working_state.h"

/**** Merging ****/

// rem0 and rem1 are the bytes of the earlier and the later span that the
// symbols visited so far have not accounted for.  A symbol with n
// occurrences must put at least n - rem1 of them into the earlier span (the
// later one has no room for more) and at most min(rem0, n); the split value
// is coded relative to that lower limit.
void merge_into(int level, int side, LevelWriter& writer) {
    RunNode* a = pending_lists[level][0];
    RunNode* b = pending_lists[level][1];
    int32_t rem0 = level_totals[level][0];
    int32_t rem1 = level_totals[level][1];
    level_totals[level + 1][side] = rem0 + rem1;

    // Branch-free: each step takes the node with the smaller symbol, or both
    // when they are equal, by masks rather than by branches; merges of
    // short lists are too irregular for branches to be guessed well.
    LevelWriter w = writer;
    RunNode* free_tail = node_pool.free_tail;
    RunNode head;
    RunNode* last = &head;
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
    writer = w;
    node_pool.free_tail = free_tail;
    // One span is full: every remaining symbol has the bound 0.
    last->next = a != nullptr ? a : b;
    pending_lists[level + 1][side] = head.next;
    pending_lists[level][0] = nullptr;
    pending_lists[level][1] = nullptr;
}

void merge_level(int level, int side) {
    LevelWriter writer = open_writer(&level_streams[level]);
    merge_into(level, side, writer);
    close_writer(&level_streams[level], writer);
}

/**** Leaves ****/

RunNode* leaf_list(unsigned x, unsigned y) {
    RunNode* first = take_node();
    if (x == y) {
        first->symbol = static_cast<uint16_t>(x);
        first->count = 2;
        first->next = nullptr;
        return first;
    }
    RunNode* second = take_node();
    first->symbol = static_cast<uint16_t>(x < y ? x : y);
    first->count = 1;
    first->next = second;
    second->symbol = static_cast<uint16_t>(x < y ? y : x);
    second->count = 1;
    second->next = nullptr;
    return first;
}
