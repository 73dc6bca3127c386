#include "codec/dec/small_spans.h"

#include <cstring>

#include "codec/dec/short_lists.h"
#include "codec/dec/small_list.h"
#include "codec/dec/split_walk.h"
#include "codec/working_state.h"

/**** Spans ****/

// A 16-byte list: its two halves of eight bytes are split straight into
// the queue (the split's copies stay within a place's room).
static void queue_sixteen(const SmallList& list, InputStream input[20], uint8_t* out, OctetQueue& queue) {
    if (list.runs == 1) {
        std::memset(out, list.symbol[0], 16);
        return;
    }
    if (queue.count > kQueuedOctets - 2) put_octets(queue, input);
    OctetJob* pair = queue.jobs + queue.count;
    split_small<true>(list, 8, 8, &input[16], pair);
    pair[0].out = out;
    pair[1].out = out + 8;
    queue.count += 2;
}

static void decode_span(int depth, const SmallList& list, int32_t total, InputStream input[20], uint8_t* out,
                        OctetQueue& queue) {
    if (list.runs == 1) {
        std::memset(out, list.symbol[0], static_cast<size_t>(total));
        return;
    }
    if (depth >= 17) {
        put_short_list(list, total, input, out, queue);
        return;
    }
    if (depth == 16 && total == 8) {
        queue_octet(list, out, queue, input);
        return;
    }
    if (total == 16) {
        queue_sixteen(list, input, out, queue);
        return;
    }
    SmallList halves[2];
    const SmallList& early = halves[0];
    const SmallList& late = halves[1];
    int32_t a_total = kBlockSize >> (depth + 1);
    int32_t b_total = total - a_total;
    if (depth == 16) put_octets(queue, input);  // the split reads stream 17
    if (a_total + b_total <= kOneTopUp) {
        split_small<true>(list, a_total, b_total, &input[depth + 1], halves);
    } else {
        split_small<false>(list, a_total, b_total, &input[depth + 1], halves);
    }
    if (depth == 16) {  // halves of four bytes and of two
        put_short_list(early, a_total, input, out, queue);
        put_short_list(late, b_total, input, out + a_total, queue);
        return;
    }
    if (a_total == 16) {  // without going through the depth below
        queue_sixteen(early, input, out, queue);
    } else {
        decode_span(depth + 1, early, a_total, input, out, queue);
    }
    decode_span(top_depth_of(b_total), late, b_total, input, out + a_total, queue);
}

// A span of kTotal bytes, a power of two from 16 up, at the depth where
// spans are that long: every half down to 16 bytes is as long as the other,
// so the sizes, the depths and the choice of split are fixed for each level
// and none of them is tested while the span is decoded.
template <int32_t kTotal>
static void decode_full_span(const SmallList& list, InputStream input[20], uint8_t* out, OctetQueue& queue) {
    if constexpr (kTotal == 16) {
        queue_sixteen(list, input, out, queue);
    } else {
        if (list.runs == 1) {
            std::memset(out, list.symbol[0], kTotal);
            return;
        }
        constexpr int kDepth = top_depth_of_power(kTotal);
        SmallList halves[2];
        split_small<(kTotal <= kOneTopUp)>(list, kTotal / 2, kTotal / 2, &input[kDepth + 1], halves);
        decode_full_span<kTotal / 2>(halves[0], input, out, queue);
        decode_full_span<kTotal / 2>(halves[1], input, out + kTotal / 2, queue);
    }
}

// Decodes a span of `total` bytes, a power of two from 16 to kTotal, with
// the decoder made for its length.
template <int32_t kTotal>
static void decode_full(const SmallList& list, int32_t total, InputStream input[20], uint8_t* out,
                        OctetQueue& queue) {
    if constexpr (kTotal > 16) {
        if (total != kTotal) return decode_full<kTotal / 2>(list, total, input, out, queue);
    }
    decode_full_span<kTotal>(list, input, out, queue);
}

void decode_small_span(int depth, const SmallList& list, int32_t total, InputStream input[20],
                       uint8_t* out) {
    OctetQueue queue;
    // Only the last span of a block that is not full falls short of its
    // depth's length.
    if (total == (kBlockSize >> depth) && total >= 16) {
        decode_full<(kBlockSize >> kSmallDepth)>(list, total, input, out, queue);
    } else {
        decode_span(depth, list, total, input, out, queue);
    }
    put_octets(queue, input);
}
