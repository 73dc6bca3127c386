// What the public functions share: the results of the codec's statuses, the
// worker count of an options value, and a job's header read or written
// through the caller's functions.
#pragma once

#include <cstdint>

#include "codec/codec_status.h"
#include "header/header.h"
#include "q73.h"

q73_result result_of(CodecStatus status);

// The workers a job may use: 1 for the calling thread alone.
int worker_count(const q73_options* options);

// Reads a whole header through `read`, one call for its flag byte and one
// for the rest, so that nothing behind it is read.  Q73_BAD_DATA when it is
// not a sound header, Q73_READ_FAILED when a read fails.
q73_result read_header_from(q73_read_fn read, void* user, Header* header);
