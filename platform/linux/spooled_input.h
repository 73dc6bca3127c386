// Standard input kept in a temporary file, for a job that must know the
// length of its input before it reads it.
#pragma once

#include <cstdint>

#include "platform/win32.h"

enum class SpoolStatus { ok, read_failed, write_failed, too_large };

// Copies everything `in` still holds into a file with no name in $TMPDIR
// (or /tmp), which the system removes whatever ends the program, and
// returns it positioned at its start in *spool.  More than `limit` bytes
// stop the copy as too_large.  Memory use does not grow with the input.
SpoolStatus spool_to_unnamed_file(HFILE in, int64_t limit, HFILE* spool);
