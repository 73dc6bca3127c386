// Spans of at most 4096 bytes, decoded in local arrays.
//
// A list has at most 256 runs, and below a certain depth it describes at
// most 4096 bytes, so that no bound of its splits exceeds 2048, the room of
// the earlier half, and the table of code shapes serves them all.  From
// there on the decoder copies the list into a SmallList and finishes the
// span's whole subtree in arrays on the stack, depth first as before (the
// earlier half of every split before the later one), so every stream is
// read in the same order; the run nodes are given back at once.
#pragma once

#include <cstdint>

#include "codec/bit_stream.h"
#include "codec/dec/small_list.h"

// Writes the `total` bytes that `list` describes at `depth` (at least
// kSmallDepth, and top_depth_of(total)) to out, reading split values from
// input[depth + 1] on and order bits from input[19].  The list's counts add
// up to total.
void decode_small_span(int depth, const SmallList& list, int32_t total, InputStream input[20],
                       uint8_t* out);
