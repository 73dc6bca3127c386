#include "codec/block_decoder.h"

#include <cstring>

#include "codec/job_files.h"
#include "codec/pick.h"
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
//
// Each step is free of branches: the node goes on to the earlier half with
// its share a, and a copy taken from the head of the free list goes on to
// the later half with the rest b.  When one share is 0 the node itself goes
// to the half that has the other, the copy stays on the free list, and the
// link written into the half that got nothing is overwritten later, by the
// next node it gets or when the walk ends.  The free list never runs dry:
// a decoder holds at most two lists of at most 256 runs per depth.
static bool split_list(int depth, InputStream* stream) {
    // The stream is read through a local copy, which the compiler can keep
    // in registers across the node stores of the walk.
    InputStream local = *stream;
    RunNode* node = pending_lists[depth][0];
    int32_t a_total = span_of(depth + 1);
    int32_t b_total = level_totals[depth][0] - a_total;
    level_totals[depth + 1][0] = a_total;
    level_totals[depth + 1][1] = b_total;
    int32_t rem0 = a_total;
    int32_t rem1 = b_total;

    RunNode* free_head = node_pool.free_head;
    RunNode early_head;
    RunNode late_head;
    RunNode* early = &early_head;
    RunNode* late = &late_head;
    while (rem0 != 0 && rem1 != 0) {
        if (node == nullptr) {  // only a damaged root list gets here
            *stream = local;
            node_pool.free_head = free_head;
            return false;
        }
        int32_t q = node->count;
        int32_t over = q - rem1;
        int32_t low = over & ~(over >> 31);       // max(q - rem1, 0)
        int32_t room = rem0 - q;
        int32_t high = q + (room & (room >> 31));  // min(rem0, q)
        int32_t a = low + get_bounded(&local, high - low);
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
    node_pool.free_head = free_head;
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
    // asks once per list it takes up.
    return 19 - (32 - __builtin_clz(static_cast<uint32_t>(t - 1)));
}

/**** Lists of two and four bytes ****/

// Writes a 2-byte list whose runs are symbols[i0] and symbols[i1], i0 <= i1
// (equal for one run of count 2).  Two runs take the order bit, 1 when the
// smaller byte comes first; one run takes none, since its bound is 0.
static inline void put_pair(uint8_t* out, const uint8_t* symbols, unsigned i0, unsigned i1,
                            InputStream* orders) {
    uint32_t smaller_first = static_cast<uint32_t>(get_bounded(orders, i0 != i1));
    out[0] = symbols[pick(smaller_first, i0, i1)];
    out[1] = symbols[pick(smaller_first, i1, i0)];
}

// How a 4-byte list splits into its two pairs depends only on its counts
// and on the next few bits of the split stream.  The counts are named by
// their shape, one bit for every place before the end where a run ends;
// for every shape and every value of the next kQuadPeekBits bits the table
// holds the bits the split takes and which runs make up each pair.  It is
// filled by running split_list on stand-in lists whose symbols are their
// run numbers.
constexpr int kQuadPeekBits = 4;

struct QuadSplit {
    uint8_t bits;
    uint8_t early[2];  // run numbers, ascending
    uint8_t late[2];
};

static QuadSplit quad_splits[8][1 << kQuadPeekBits];

static void set_spans() {
    for (int depth = 0; depth < 20; ++depth) level_totals[depth][2] = kBlockSize >> depth;
}

static void read_pair_runs(const RunNode* list, uint8_t runs[2]) {
    runs[0] = static_cast<uint8_t>(list->symbol);
    runs[1] = static_cast<uint8_t>(list->count == 2 ? list->symbol : list->next->symbol);
}

static bool build_quad_splits() {
    set_spans();
    for (unsigned shape = 0; shape < 8; ++shape) {
        for (unsigned peek = 0; peek < (1u << kQuadPeekBits); ++peek) {
            reset_node_pool();
            reset_pending_lists();
            RunNode head;
            RunNode* last = &head;
            int start = 0;
            for (int end = 1, run = 0; end <= 4; ++end) {
                if (end < 4 && (shape >> (end - 1) & 1) == 0) continue;
                RunNode* node = take_node();
                node->symbol = static_cast<uint16_t>(run++);
                node->count = end - start;
                last->next = node;
                last = node;
                start = end;
            }
            last->next = nullptr;
            pending_lists[17][0] = head.next;
            level_totals[17][0] = 4;
            uint8_t bits[1 + kInputPadding] = {kReversedByte[peek]};
            InputStream in = open_input(bits, 1);
            split_list(17, &in);
            if (bits_read(&in) > kQuadPeekBits) return false;
            QuadSplit& entry = quad_splits[shape][peek];
            entry.bits = static_cast<uint8_t>(bits_read(&in));
            read_pair_runs(pending_lists[18][0], entry.early);
            read_pair_runs(pending_lists[18][1], entry.late);
        }
    }
    reset_node_pool();
    reset_pending_lists();
    return true;
}

static const bool quad_splits_built = build_quad_splits();

// Writes the 4-byte list at depth 17 out as its two pairs and gives its
// nodes back.
static bool put_quad(uint8_t* out, InputStream* splits, InputStream* orders) {
    RunNode* list = pending_lists[17][0];
    pending_lists[17][0] = nullptr;
    uint8_t symbols[4];
    unsigned shape = 0;
    int32_t sum = 0;
    RunNode* node = list;
    for (int k = 0;; ++k) {
        if (node == nullptr) return false;  // only a damaged root list gets here
        symbols[k] = static_cast<uint8_t>(node->symbol);
        sum += node->count;
        if (sum >= 4) break;
        shape |= 1u << (sum - 1);
        node = node->next;
    }
    top_up(splits);
    const QuadSplit& entry = quad_splits[shape][splits->bits & ((1u << kQuadPeekBits) - 1)];
    splits->bits >>= entry.bits;
    splits->avail -= entry.bits;
    put_pair(out, symbols, entry.early[0], entry.early[1], orders);
    put_pair(out + 2, symbols, entry.late[0], entry.late[1], orders);
    node_pool.free_tail->next = list;
    node_pool.free_tail = node;
    return true;
}

// Writes the 2-byte list at depth 18 out and gives its nodes back.
static bool put_pair_list(uint8_t* out, InputStream* orders) {
    RunNode* list = pending_lists[18][0];
    pending_lists[18][0] = nullptr;
    RunNode* last = list->count == 2 ? list : list->next;
    if (last == nullptr) return false;
    uint8_t symbols[2] = {static_cast<uint8_t>(list->symbol), static_cast<uint8_t>(last->symbol)};
    put_pair(out, symbols, 0, list == last ? 0 : 1, orders);
    node_pool.free_tail->next = list;
    node_pool.free_tail = last;
    return true;
}

/**** Blocks ****/

// The block is walked depth first: the earlier half of every split is taken
// up at once and the later one waits in slot 1 of its depth, with its bit
// set in `waiting`, until everything before it has been written.  A list of
// one run is its span filled with one byte: no bits are stored for it at
// any depth below, so it is written out whole.
CodecStatus decode_block(InputStream input[20], int32_t n) {
    reset_node_pool();
    reset_pending_lists();
    int top = top_depth_of(n);
    if (!read_root_list(&input[top], top, n)) return CodecStatus::damaged;
    level_totals[top][0] = n;

    uint32_t waiting = 0;
    int32_t p = 0;
    int depth = top;
    for (;;) {
        for (;;) {
            RunNode* list = pending_lists[depth][0];
            if (list->next == nullptr || depth >= 17) {
                // The lists cover the block in order, so a span never runs
                // past its end; the test only guards the writes below.
                if (level_totals[depth][0] > n - p) return CodecStatus::damaged;
            }
            if (list->next == nullptr) {
                int32_t t = level_totals[depth][0];
                std::memset(block_buffer + p, list->symbol, static_cast<size_t>(t));
                p += t;
                pending_lists[depth][0] = nullptr;
                give_back_node(list);
                break;
            }
            if (depth == 17) {
                if (!put_quad(block_buffer + p, &input[18], &input[19])) return CodecStatus::damaged;
                p += 4;
                break;
            }
            if (depth == 18) {
                if (!put_pair_list(block_buffer + p, &input[19])) return CodecStatus::damaged;
                p += 2;
                break;
            }
            if (!split_list(depth, &input[depth + 1])) return CodecStatus::damaged;
            ++depth;
            waiting |= 1u << depth;
        }
        if (p >= n) break;

        // Take up the nearest later half that waits.
        if (waiting == 0) return CodecStatus::damaged;
        int j = 31 - __builtin_clz(waiting);
        waiting &= ~(1u << j);
        int32_t t = level_totals[j][1];
        if (pending_lists[j][1] == nullptr || t < 2) return CodecStatus::damaged;
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
    set_spans();
    if (!quad_splits_built) return CodecStatus::damaged;
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
