#include "codec/dec/block_decoder.h"

#include <cstring>

#include "codec/bit_stream.h"
#include "codec/bounded_code.h"
#include "codec/dec/small_list.h"
#include "codec/dec/small_spans.h"
#include "codec/pick.h"
#include "codec/working_state.h"

static inline int32_t span_of(const CodecState* s, int depth) { return s->level_totals[depth][2]; }

// Twice the most the decoder holds, for a margin.
static_assert(kDecoderNodes >= 2 * 256 * (kSmallDepth + 3) && kDecoderNodes <= kPoolSize, "the decoder's nodes");

/**** Root list ****/

bool read_root_list(CodecState* s, InputStream* root, int depth, int32_t n) {
    int32_t stored = get_bounded(root, kBlockSize);
    if (stored != n) return false;
    RunNode head;
    RunNode* last = &head;
    int previous = -1;
    int32_t r = n;
    while (r > 0) {
        int symbol = get_bounded(root, 255);
        int count_class = get_bounded(root, 2);
        int32_t count = count_class == 0   ? get_bounded(root, 255)
                        : count_class == 1 ? get_bounded(root, 65535)
                                           : get_bounded(root, r);
        // Ascending symbols bound the list to 256 runs; counts of at least 1
        // that never pass r make the list describe exactly n bytes.
        if (symbol <= previous || count < 1 || count > r || overran(root)) {
            last->next = nullptr;
            s->pending_lists[depth][0] = head.next;
            return false;
        }
        previous = symbol;
        RunNode* node = take_node(s);
        node->symbol = static_cast<uint16_t>(symbol);
        node->count = count;
        last->next = node;
        last = node;
        r -= count;
    }
    last->next = nullptr;
    s->pending_lists[depth][0] = head.next;
    return true;
}

/**** Splitting ****/

// rem0 and rem1 are the bytes that the earlier and the later half still
// need.  They mirror the merge's remaining totals, so low and bound are the
// merge's low and high - low for the same symbol.  Since the parent's counts
// add up to rem0 + rem1 and every value is read under its bound, the walk
// always ends with both halves exactly full.
//
// The bookkeeping of a step has no branches: the node goes on to the
// earlier half with its share a, and a copy taken from the head of the free
// list goes on to the later half with the rest b.  When one share is 0 the
// node itself goes to the half that has the other, the copy stays on the
// free list, and the link written into the half that got nothing is
// overwritten later, by the next node it gets or when the walk ends.  The
// free list never runs dry: a decoder holds at most two lists of at most
// 256 runs per depth.
//
// Most steps have room for the whole run on both sides, so that low is 0
// and the bound is the run's count; testing for that, rather than computing
// the bound from both remainders, keeps the remainders off the chain from
// one code to the next.
static bool split_list(CodecState* s, int depth, InputStream* stream) {
    // The stream is read through a local copy, which the compiler can keep
    // in registers across the node stores of the walk.
    InputStream local = *stream;
    RunNode* node = s->pending_lists[depth][0];
    int32_t a_total = span_of(s, depth + 1);
    int32_t b_total = s->level_totals[depth][0] - a_total;
    s->level_totals[depth + 1][0] = a_total;
    s->level_totals[depth + 1][1] = b_total;
    int32_t rem0 = a_total;
    int32_t rem1 = b_total;

    RunNode* free_head = s->node_pool.free_head;
    RunNode early_head;
    RunNode late_head;
    RunNode* early = &early_head;
    RunNode* late = &late_head;
    while (rem0 != 0 && rem1 != 0) {
        if (node == nullptr) {  // only a damaged root list gets here
            *stream = local;
            s->node_pool.free_head = free_head;
            return false;
        }
        int32_t q = node->count;
        int32_t low = 0;
        int32_t bound = q;
        if (__builtin_expect(q > rem0 || q > rem1, 0)) {
            low = q > rem1 ? q - rem1 : 0;
            bound = (q < rem0 ? q : rem0) - low;
        }
        if (local.avail < 20) top_up(&local);
        int32_t a = low + static_cast<int32_t>(take_bounded(&local, static_cast<uint32_t>(bound)));
        int32_t b = q - a;
        RunNode* next = node->next;

        RunNode* copy = free_head;
        copy->symbol = node->symbol;
        copy->count = b;
        uint32_t to_early = a != 0;
        uint32_t to_late = b != 0;
        RunNode* late_node = pick(to_early, copy, node);
        node->count = pick(to_early, a, q);
        early->next = node;
        early = pick(to_early, node, early);
        late->next = late_node;
        late = pick(to_late, late_node, late);
        free_head = pick(to_early & to_late, copy->next, free_head);
        rem0 -= a;
        rem1 -= b;
        node = next;
    }
    s->node_pool.free_head = free_head;
    if (rem0 > 0) {
        early->next = node;
        late->next = nullptr;
    } else {
        late->next = node;
        early->next = nullptr;
    }
    s->pending_lists[depth][0] = nullptr;
    s->pending_lists[depth + 1][0] = early_head.next;
    s->pending_lists[depth + 1][1] = late_head.next;
    *stream = local;
    return true;
}

// Copies the list at `depth` into `small` and gives its nodes back.
static void take_small_list(CodecState* s, int depth, SmallList& small) {
    RunNode* list = s->pending_lists[depth][0];
    s->pending_lists[depth][0] = nullptr;
    RunNode* last = list;
    int k = 0;
    for (RunNode* node = list; node != nullptr && k < kSmallRuns; node = node->next, ++k) {
        small.symbol[k] = static_cast<uint8_t>(node->symbol);
        small.count[k] = static_cast<uint16_t>(node->count);
        last = node;
    }
    small.runs = k;
    mark_end(small);
    s->node_pool.free_tail->next = list;
    s->node_pool.free_tail = last;
}

/**** Blocks ****/

// The block is walked depth first: the earlier half of every split is taken
// up at once and the later one waits in slot 1 of its depth, with its bit
// set in `waiting`, until everything before it has been written.  A list of
// one run is its span filled with one byte: no bits are stored for it at
// any depth below, so it is written out whole.
CodecStatus decode_block(CodecState* s, InputStream input[20], int32_t n, uint8_t* out) {
    if (!s->pool_whole) thread_node_pool(s, kDecoderNodes);
    s->pool_whole = false;
    for (int depth = 0; depth < 20; ++depth) s->level_totals[depth][2] = kBlockSize >> depth;
    reset_pending_lists(s);
    int top = top_depth_of(n);
    if (!read_root_list(s, &input[top], top, n)) return CodecStatus::damaged;
    s->level_totals[top][0] = n;

    uint32_t waiting = 0;
    int32_t p = 0;
    int depth = top;
    for (;;) {
        for (;;) {
            RunNode* list = s->pending_lists[depth][0];
            int32_t t = s->level_totals[depth][0];
            if (list->next == nullptr || depth >= kSmallDepth) {
                // The lists cover the block in order, so a span never runs
                // past its end; the test only guards the writes below.
                if (t > n - p) return CodecStatus::damaged;
                if (list->next == nullptr) {
                    std::memset(out + p, list->symbol, static_cast<size_t>(t));
                    s->pending_lists[depth][0] = nullptr;
                    give_back_node(s, list);
                } else {
                    SmallList small;
                    take_small_list(s, depth, small);
                    decode_small_span(depth, small, t, input, out + p);
                }
                p += t;
                break;
            }
            if (!split_list(s, depth, &input[depth + 1])) return CodecStatus::damaged;
            ++depth;
            waiting |= 1u << depth;
        }
        if (p >= n) break;

        // Take up the nearest later half that waits.
        if (waiting == 0) return CodecStatus::damaged;
        int j = 31 - __builtin_clz(waiting);
        waiting &= ~(1u << j);
        int32_t t = s->level_totals[j][1];
        if (s->pending_lists[j][1] == nullptr || t < 2) return CodecStatus::damaged;
        int m = top_depth_of(t);
        if (m < j) return CodecStatus::damaged;
        s->pending_lists[m][0] = s->pending_lists[j][1];
        s->level_totals[m][0] = t;
        s->pending_lists[j][1] = nullptr;
        depth = m;
    }
    for (int d = top; d < 20; ++d) {
        if (overran(&input[d])) return CodecStatus::damaged;
    }
    // Each list that a split made has been written out and its nodes given back.
    s->pool_whole = true;
    return CodecStatus::ok;
}
