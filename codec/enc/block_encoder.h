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

#include "codec/codec_status.h"

// Codes input_file from its current position to its end and appends the
// blocks to output_file.  chunk_buffer is block_buffer.
CodecStatus compress_blocks(uint8_t* chunk_buffer);

// Writes the block's byte count and its whole run list into the root stream.
void write_root_list(int32_t n);

// Pairs, merges and closes one block of n bytes (n even, 2..524288) held in
// chunk_buffer; afterwards the streams hold the block's bits.
void encode_block(const uint8_t* chunk_buffer, int32_t n);
