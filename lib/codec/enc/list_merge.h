// The merge of two run lists from the node pool, and the leaf lists of pairs.
//
// A carry of the encoder's counter merges the two lists of a level into one
// list of the level above.  A merge writes, symbol by symbol, how many of
// the symbol's occurrences lie in the earlier span, under a bound that the
// decoder can compute from what it already knows.
#pragma once

#include "codec/bit_stream.h"

struct CodecState;
struct RunNode;

// The nodes of the pool that the encoder threads.  At most one list waits
// at each of levels 1 to 19, and a merge holds two more lists while it
// builds a third, each of at most 256 runs: never more than 22 * 256 = 5632
// nodes in lists at once.  A node given back joins the end of the free
// list, so the free list never runs dry while fewer nodes than threaded are
// in lists.  Threading the whole pool would only touch memory, page by page
// at the first block, that no block takes.
constexpr int kEncoderNodes = 8192;

// Merges the two lists of level L into slot `side` of level L + 1, writing
// split values through `writer`, which is open on LevelStream L.
void merge_into(CodecState* s, int level, int side, LevelWriter& writer);

// merge_into with a writer opened and closed around the merge.
void merge_level(CodecState* s, int level, int side);

// Takes the leaf list of the pair x, y from the node pool: one node of
// count 2 when the bytes are equal, else the smaller and the larger byte
// with count 1 each.  Writes nothing.
RunNode* leaf_list(CodecState* s, unsigned x, unsigned y);
