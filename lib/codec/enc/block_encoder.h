// The block encoder.
//
// Each chunk of up to 524288 bytes is one block.  Every pair of adjacent
// bytes becomes a leaf run list at level 1; the pending lists then behave
// like a base-2 counter of pairs, and each carry merges the two lists of a
// level into one list of the level above.  A merge writes, symbol by
// symbol, how many of the symbol's occurrences lie in the earlier span,
// under a bound that the decoder can compute from what it already knows.
// A closing pass merges or carries what a short block leaves behind, so the
// whole block's list ends in slot 0 of level 20, which becomes the root
// stream.
#pragma once

#include <cstdint>

struct CodecState;

// Writes the block's byte count and its whole run list into the root stream.
void write_root_list(CodecState* s, int32_t n);

// Pairs, merges and closes one block of n bytes (n even, 2..524288) held in
// chunk; afterwards the state's streams hold the block's bits, ready for
// store_block_records.
void encode_block(CodecState* s, const uint8_t* chunk, int32_t n);
