// The command line and the choice of the job: plain functions, the same on
// every system.
#pragma once

#include <string>
#include <vector>

#include "format/naming.h"

// The file names of a command-line tail, in order, as Explorer and the
// shell pass them: pieces are separated by spaces (only code 32), and a
// quotation mark starts or ends a quoted stretch in which spaces belong to
// the name; the marks themselves are not part of it.  Leading, repeated and
// trailing spaces add no name, and neither does a piece of marks alone.  A
// null tail counts as empty.  Names are returned whatever their length: the
// job refuses one that does not fit its buffer.
std::vector<std::string> names_from_tail(const char* tail);

// True when the name's last four characters are ".q73", the letters compared
// without regard to case.
bool names_compressed_file(const char* name);
