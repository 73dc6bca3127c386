// Stream records: how a block's streams are stored in the file.
//
// A record is a 4-byte little-endian length followed by that many bytes of
// one stream.  A block of n bytes has R = ceil(log2 n) + 1 records: the root
// stream first, then the levels from the block's top level T = R - 2 down to
// level 0.  A level whose stream received no bit is still stored, as a
// record of length 0.
#pragma once

#include <cstdint>

#include "codec/bit_stream.h"
#include "codec/codec_status.h"

// A record holds at most one stream buffer's worth of bytes.
constexpr int32_t kMaxRecordLength = kStreamCapacity;

// R for a block of n bytes, counted by doubling: R = 1, c = 1; while c < n,
// R += 1 and c *= 2.
int record_count(int32_t n);

// Writes the root stream and levels R-2 .. 0 of the current block to
// output_file, then resets every LevelStream.
CodecStatus write_block_records(int32_t n);

// Reads the R records of a block of n bytes into input[L .. 19], where
// L = 20 - R is the block's top depth.  Each buffer holds kInputPadding
// zero bytes behind the data, is opened for reading with open_input, and
// must be given back with free_block_records.
CodecStatus read_block_records(int32_t n, InputStream input[20]);
void free_block_records(InputStream input[20]);

void put_le32(uint8_t out[4], uint32_t value);
uint32_t get_le32(const uint8_t in[4]);
