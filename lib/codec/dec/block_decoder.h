// The block decoder.
//
// It undoes the encoder top-down: the root stream gives the run list of the
// whole block, and each split divides a list into the lists of its earlier
// and later halves, reading the split values from the stream of the depth it
// produces.  The earlier half is always split first; the later halves wait
// in slot 1 of their depth, so the block is walked depth first without
// recursion and its bytes come out in order, two at a time.
//
// Hostile input: every value is read under its bound, so a split can never
// give a half more than it has room for.  What remains to check is the root
// list (ascending symbols, counts that add up to the block's length), the
// record lengths, the reads, and that no stream was read past its data;
// each failure ends the job as CodecStatus::damaged.
#pragma once

#include <cstdint>

#include "codec/bit_stream.h"
#include "codec/codec_status.h"

struct CodecState;

// Builds the block's run list in slot 0 of depth `depth` from the root stream
// in input[depth]; false when the list does not describe n bytes.
bool read_root_list(CodecState* s, InputStream* root, int depth, int32_t n);

// The nodes of the pool that the decoder threads.  It holds runs in lists
// only down to kSmallDepth: the list being split and the later halves that
// wait, one per depth, each of at most 256 runs, so never more than 2560
// nodes at once (a split moves the runs of its list into its halves).
// Threading the whole pool would only touch memory that it never takes.
constexpr int kDecoderNodes = 8192;

// Decodes one block of n bytes whose records are in input[] into out (room
// for n bytes).  The decoder's nodes are threaded anew unless the state's
// pool_whole says that all of them are on the free list already, as after a
// block that was decoded without fault.
CodecStatus decode_block(CodecState* s, InputStream input[20], int32_t n, uint8_t* out);
