// The command line and the choice of the job: plain functions, the same on
// every system.
#pragma once

#include "format/naming.h"

enum class TailResult { ok, too_long };

// Takes the file name from a command-line tail.  Leading spaces are
// skipped.  A tail that then begins with a quotation mark names the text up
// to the closing mark, spaces included, as Explorer passes a dropped path
// that holds a space.  Otherwise the name is the text after the last space
// (only code 32 separates), so of several pieces the last one wins and a
// trailing space gives an empty name.  A null tail counts as empty.
TailResult file_name_from_tail(const char* tail, char out[kNameCapacity]);

// True when the name's last four characters are ".q73", the letters compared
// without regard to case.
bool names_compressed_file(const char* name);
