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

struct CodecState;

// A record holds at most one stream buffer's worth of bytes.
constexpr int32_t kMaxRecordLength = kStreamCapacity;

// The most bytes that the records of one block take in the file (a root
// stream and 19 levels), and in memory once read, each record's data then
// followed by kInputPadding zero bytes.
constexpr int32_t kMaxBlockRecordBytes = 20 * (4 + kMaxRecordLength);
constexpr int32_t kMaxReadRecordBytes = 20 * (kMaxRecordLength + kInputPadding);

// R for a block of n bytes, counted by doubling: R = 1, c = 1; while c < n,
// R += 1 and c *= 2.
int record_count(int32_t n);

// Stores the root stream and levels R-2 .. 0 of the block just encoded at
// `out` (room for kMaxBlockRecordBytes), then resets every LevelStream.
// Returns the number of bytes stored.
int32_t store_block_records(CodecState* s, int32_t n, uint8_t* out);

// Reads `length` bytes to `data`; false when fewer could be had.  The block
// reader asks for the bytes of the file in order and never goes back.
typedef bool (*ReadBytes)(void* source, uint8_t* data, int32_t length);

// Reads the R records of a block of n bytes through `read` into `buffer`
// (room for kMaxReadRecordBytes), and opens a reader on each: input[L .. 19],
// where L = 20 - R is the block's top depth.  damaged when the records are
// cut short or a length is out of range.
CodecStatus read_block_records(int32_t n, ReadBytes read, void* source, uint8_t* buffer,
                               InputStream input[20]);

void put_le32(uint8_t out[4], uint32_t value);
uint32_t get_le32(const uint8_t in[4]);
