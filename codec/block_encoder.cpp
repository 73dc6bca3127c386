#include "codec/block_encoder.h"

#include "codec/bounded_code.h"
#include "codec/job_files.h"
#include "codec/stream_records.h"
#include "codec/working_state.h"

/**** Merging ****/

// rem0 and rem1 are the bytes of the earlier and the later span that the
// symbols visited so far have not accounted for.  A symbol with n
// occurrences must put at least n - rem1 of them into the earlier span (the
// later one has no room for more) and at most min(rem0, n); the split value
// is coded relative to that lower limit.
void merge_level(int level, int side) {
    RunNode* a = pending_lists[level][0];
    RunNode* b = pending_lists[level][1];
    int32_t rem0 = level_totals[level][0];
    int32_t rem1 = level_totals[level][1];
    level_totals[level + 1][side] = rem0 + rem1;
    LevelStream* stream = &level_streams[level];

    // Branch-light: each step takes the node with the smaller symbol, or
    // both when they are equal, by selection rather than by branching.
    RunNode head;
    RunNode* last = &head;
    BitWriter writer = begin_writing(stream);
    while (a != nullptr && b != nullptr) {
        unsigned sa = a->symbol;
        unsigned sb = b->symbol;
        bool take_a = sa <= sb;
        bool take_b = sb <= sa;
        int32_t c0 = take_a ? a->count : 0;
        int32_t n = c0 + (take_b ? b->count : 0);
        int32_t low = rem1 < n ? n - rem1 : 0;
        int32_t high = rem0 < n ? rem0 : n;
        put_bounded_unchecked(writer, c0 - low, high - low);
        rem0 -= c0;
        rem1 -= n - c0;

        RunNode* kept = take_a ? a : b;
        kept->count = n;
        last->next = kept;
        last = kept;
        if (take_a && take_b) give_back_node(b);  // b->next stays intact
        a = take_a ? a->next : a;
        b = take_b ? b->next : b;
    }
    end_writing(stream, writer);
    // One span is full: every remaining symbol has the bound 0.
    last->next = a != nullptr ? a : b;
    pending_lists[level + 1][side] = head.next;
    pending_lists[level][0] = nullptr;
    pending_lists[level][1] = nullptr;
}

/**** Root stream ****/

void write_root_list(int32_t n) {
    LevelStream* root = &level_streams[kRootStream];
    put_bounded(root, n, kBlockSize);
    int32_t r = n;
    for (RunNode* node = pending_lists[20][0]; node != nullptr; node = node->next) {
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

void encode_block(const uint8_t* chunk, int32_t n) {
    reset_node_pool();
    reset_pending_lists();
    level_totals[1][0] = 2;
    level_totals[1][1] = 2;
    LevelStream* order = &level_streams[0];

    int32_t pairs = n / 2;
    for (int32_t d = 0; d < pairs; ++d) {
        unsigned x = chunk[2 * d];
        unsigned y = chunk[2 * d + 1];
        RunNode* first = take_node();
        if (x == y) {
            first->symbol = static_cast<uint16_t>(x);
            first->count = 2;
            first->next = nullptr;
        } else {
            RunNode* second = take_node();
            first->symbol = static_cast<uint16_t>(x < y ? x : y);
            first->count = 1;
            first->next = second;
            second->symbol = static_cast<uint16_t>(x < y ? y : x);
            second->count = 1;
            second->next = nullptr;
            put_bit(order, x < y);
        }
        pending_lists[1][d & 1] = first;
        for (int k = 1; (d >> (k - 1)) & 1; ++k) merge_level(k, (d >> k) & 1);
    }

    // Closing pass: a short block leaves lists of unequal spans behind.
    for (int level = 1; level <= 19; ++level) {
        if (pending_lists[level][1] != nullptr) {
            merge_level(level, pending_lists[level + 1][0] != nullptr ? 1 : 0);
        } else if (pending_lists[level][0] != nullptr) {
            int side = pending_lists[level + 1][0] != nullptr ? 1 : 0;
            pending_lists[level + 1][side] = pending_lists[level][0];
            level_totals[level + 1][side] = level_totals[level][0];
            pending_lists[level][0] = nullptr;
        }
    }
    write_root_list(n);
}

CodecStatus compress_blocks(uint8_t* chunk_buffer) {
    reset_level_streams();
    for (;;) {
        UINT got = _lread(input_file, chunk_buffer, static_cast<UINT>(kBlockSize));
        if (got == static_cast<UINT>(HFILE_ERROR)) return CodecStatus::read_failed;
        if (got == 0) return CodecStatus::ok;
        int32_t n = static_cast<int32_t>(got) & ~1;
        if (n == 0) return CodecStatus::ok;
        encode_block(chunk_buffer, n);
        CodecStatus status = write_block_records(n);
        if (status != CodecStatus::ok) return status;
    }
}
