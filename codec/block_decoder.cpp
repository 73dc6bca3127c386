#include "codec/block_decoder.h"

#include "codec/job_files.h"
#include "codec/stream_records.h"
#include "codec/working_state.h"

static inline int32_t span_of(int depth) { return level_totals[depth][2]; }

/**** Root list ****/

bool read_root_list(InputStream* root, int depth, int32_t n) {
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
            pending_lists[depth][0] = head.next;
            return false;
        }
        previous = symbol;
        RunNode* node = take_node();
        node->symbol = static_cast<uint16_t>(symbol);
        node->count = count;
        last->next = node;
        last = node;
        r -= count;
    }
    last->next = nullptr;
    pending_lists[depth][0] = head.next;
    return true;
}

/**** Splitting ****/

// rem0 and rem1 are the bytes that the earlier and the later half still
// need.  They mirror the merge's remaining totals, so low and bound are the
// merge's low and high - low for the same symbol.  Since the parent's counts
// add up to rem0 + rem1 and every value is read under its bound, the walk
// always ends with both halves exactly full.
static bool split_list(int depth, InputStream* stream) {
    // The stream is read through a local copy, which the compiler can keep
    // in registers across the node stores of the walk.
    InputStream local = *stream;
    InputStream* in = &local;
    RunNode* node = pending_lists[depth][0];
    int32_t a_total = span_of(depth + 1);
    int32_t b_total = level_totals[depth][0] - a_total;
    level_totals[depth + 1][0] = a_total;
    level_totals[depth + 1][1] = b_total;
    int32_t rem0 = a_total;
    int32_t rem1 = b_total;

    RunNode early_head;
    RunNode late_head;
    RunNode* early = &early_head;
    RunNode* late = &late_head;
    while (rem0 != 0 && rem1 != 0) {
        if (node == nullptr) {  // only a damaged root list gets here
            *stream = local;
            return false;
        }
        int32_t q = node->count;
        int32_t low = rem1 < q ? q - rem1 : 0;
        int32_t bound = (rem0 < q ? rem0 : q) - low;
        int32_t a = low + get_bounded(in, bound);
        int32_t b = q - a;
        RunNode* next = node->next;
        if (a == 0) {
            late->next = node;
            late = node;
            rem1 -= q;
        } else if (b == 0) {
            early->next = node;
            early = node;
            rem0 -= q;
        } else {
            RunNode* copy = take_node();
            copy->symbol = node->symbol;
            copy->count = b;
            late->next = copy;
            late = copy;
            node->count = a;
            early->next = node;
            early = node;
            rem0 -= a;
            rem1 -= b;
        }
        node = next;
    }
    if (rem0 > 0) {
        early->next = node;
        late->next = nullptr;
    } else {
        late->next = node;
        early->next = nullptr;
    }
    pending_lists[depth][0] = nullptr;
    pending_lists[depth + 1][0] = early_head.next;
    pending_lists[depth + 1][1] = late_head.next;
    *stream = local;
    return true;
}

// The depth at which a list of t bytes describes its span whole: the top
// depth of a block of t bytes.
static int top_depth_of(int32_t t) {
    // 20 - record_count(t) for t >= 2, without the doubling loop: the climb
    // asks once per pair.
    return 19 - (32 - __builtin_clz(static_cast<uint32_t>(t - 1)));
}

/**** Blocks ****/

CodecStatus decode_block(InputStream input[20], int32_t n) {
    reset_node_pool();
    reset_pending_lists();
    int top = top_depth_of(n);
    if (!read_root_list(&input[top], top, n)) return CodecStatus::damaged;
    level_totals[top][0] = n;

    int32_t p = 0;
    int depth = top;
    for (;;) {
        for (; depth < 18; ++depth) {
            if (!split_list(depth, &input[depth + 1])) return CodecStatus::damaged;
        }
        // A list of two bytes is written out directly instead of being split
        // into two one-byte lists: one run of count 2 is both bytes, two runs
        // of count 1 take the order bit, 1 when the smaller byte comes first.
        RunNode* node = pending_lists[18][0];
        pending_lists[18][0] = nullptr;
        if (node->count == 2) {
            block_buffer[p] = static_cast<uint8_t>(node->symbol);
            block_buffer[p + 1] = static_cast<uint8_t>(node->symbol);
            give_back_node(node);
        } else {
            RunNode* other = node->next;
            if (other == nullptr) return CodecStatus::damaged;
            int smaller_first = get_bounded(&input[19], 1);
            block_buffer[p] = static_cast<uint8_t>(smaller_first ? node->symbol : other->symbol);
            block_buffer[p + 1] = static_cast<uint8_t>(smaller_first ? other->symbol : node->symbol);
            give_back_node(node);
            give_back_node(other);
        }
        p += 2;
        if (p >= n) break;

        // Climb to the nearest later half that waits.
        int j = 18;
        while (j > top && pending_lists[j][1] == nullptr) --j;
        if (pending_lists[j][1] == nullptr) return CodecStatus::damaged;
        int32_t t = level_totals[j][1];
        if (t < 2) return CodecStatus::damaged;
        int m = top_depth_of(t);
        if (m < j) return CodecStatus::damaged;
        pending_lists[m][0] = pending_lists[j][1];
        level_totals[m][0] = t;
        pending_lists[j][1] = nullptr;
        depth = m;
    }
    for (int d = top; d < 20; ++d) {
        if (overran(&input[d])) return CodecStatus::damaged;
    }
    return CodecStatus::ok;
}

CodecStatus expand_blocks(int32_t size) {
    for (int depth = 0; depth < 20; ++depth) level_totals[depth][2] = kBlockSize >> depth;
    if (size < 0 || (size & 1) != 0) return CodecStatus::damaged;
    InputStream input[20];
    while (size > 0) {
        int32_t n = size < kBlockSize ? size : kBlockSize;
        CodecStatus status = read_block_records(n, input);
        if (status == CodecStatus::ok) status = decode_block(input, n);
        free_block_records(input);
        if (status != CodecStatus::ok) return status;
        UINT put = _lwrite(output_file, reinterpret_cast<LPCSTR>(block_buffer),
                           static_cast<UINT>(n));
        if (put != static_cast<UINT>(n)) return CodecStatus::write_failed;
        size -= n;
    }
    return CodecStatus::ok;
}
