#include "codec/enc/pair_quads.h"

#include "codec/enc/list_merge.h"
#include "codec/working_state.h"

namespace {

// Runs the pair and merge steps on one 4-byte span in the state that the
// table is built in.  The pool is threaded once around the whole table, not
// per entry: 256 entries take at most 1024 of its nodes.
QuadEntry entry_for(CodecState* s, const uint8_t q[4]) {
    reset_pending_lists(s);
    reset_level_stream(&s->level_streams[0]);
    reset_level_stream(&s->level_streams[1]);
    s->level_totals[1][0] = 2;
    s->level_totals[1][1] = 2;
    QuadEntry e{};
    for (int d = 0; d < 2; ++d) {
        uint8_t x = q[2 * d];
        uint8_t y = q[2 * d + 1];
        s->pending_lists[1][d] = leaf_list(s, x, y);
        if (x != y) {
            e.order_bits |= static_cast<uint8_t>((x < y) << e.order_count);
            ++e.order_count;
        }
    }
    merge_level(s, 1, 0);
    // Read the level-1 stream back in its own order, most significant bit first.
    const LevelStream& stream = s->level_streams[1];
    int bits = static_cast<int>(stream.position - stream.buffer) * 8 + (__builtin_clz(stream.mask) - 24);
    for (int k = 0; k < bits; ++k) {
        int bit = (stream.buffer[k >> 3] >> (7 - (k & 7))) & 1;
        e.split_bits |= static_cast<uint8_t>(bit << k);
    }
    e.split_count = static_cast<uint8_t>(bits);
    for (const RunNode* node = s->pending_lists[2][0]; node != nullptr; node = node->next) {
        int from = 0;
        while (q[from] != node->symbol) ++from;
        e.source[e.runs] = static_cast<uint8_t>(from);
        e.count[e.runs] = static_cast<uint8_t>(node->count);
        ++e.runs;
    }
    reset_level_stream(&s->level_streams[0]);
    reset_level_stream(&s->level_streams[1]);
    return e;
}

struct QuadTable {
    QuadEntry entries[kQuadPatterns];
    explicit QuadTable(CodecState* s) : entries() {
        thread_node_pool(s, kEncoderNodes);
        // Stand-in values 0 to 3 give every ordering of four bytes.
        for (int k = 0; k < 256; ++k) {
            uint8_t q[4] = {static_cast<uint8_t>(k & 3), static_cast<uint8_t>((k >> 2) & 3),
                            static_cast<uint8_t>((k >> 4) & 3), static_cast<uint8_t>(k >> 6)};
            entries[quad_index(q)] = entry_for(s, q);
        }
        reset_pending_lists(s);
    }
};

}  // namespace

const QuadEntry* quad_entries(CodecState* scratch) {
    // Built once, by the first caller; any other waits for it here and
    // leaves its own state untouched.
    static const QuadTable table(scratch);
    return table.entries;
}
