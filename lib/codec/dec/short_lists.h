// Lists of eight bytes and less, written out from tables: the split of a
// list of eight bytes into its halves of four, of four into pairs, and a
// pair's order bit.
#pragma once

#include <cstdint>

#include "codec/bit_stream.h"
#include "codec/dec/small_list.h"

// Streams 17 to 19 are read only by the lists of eight bytes and less, in
// the order of their spans.  So 8-byte lists can wait in a queue and be
// written out together, in that order, with the three streams held in
// registers; the work of one list then overlaps the next.  The queue is
// drained before any other list of eight bytes or less is written.
constexpr int kQueuedOctets = 64;

// A queued list, in the same form as a SmallList of at most 8 runs, with
// room for the eight more that a split's copies write.
struct OctetJob {
    uint8_t symbol[16];
    uint16_t count[16];
    uint8_t* out;
    int runs;
};

inline void mark_end(OctetJob& job) { job.count[job.runs] = kEndCount; }

struct OctetQueue {
    int count = 0;
    OctetJob jobs[kQueuedOctets];
};

// Writes every waiting 8-byte list.
void put_octets(OctetQueue& queue, InputStream input[20]);

// Puts an 8-byte list of more than one run in the queue, for `out`.
void queue_octet(const SmallList& list, uint8_t* out, OctetQueue& queue, InputStream input[20]);

// True when every entry of the table of 8-byte splits, which is worked out
// when the program is built, is what split_small makes of its stand-in list.
bool octet_splits_match_walks();

// A list of two or four bytes at its own depth, after everything waiting.
void put_short_list(const SmallList& list, int32_t total, InputStream input[20], uint8_t* out,
                    OctetQueue& queue);
