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

// The tail of a whole command line: what follows the program's name (in
// quotation marks or up to the first blank) and the blanks behind it.  The
// Windows entry takes its tail from here rather than from the runtime's
// WinMain argument, which skips every byte from 0x80 up as if it were a
// blank, and so the first characters of a UTF-8 name.  A null line counts
// as empty.
const char* tail_of_command_line(const char* line);

// True when the name's last four characters are ".q73", the letters compared
// without regard to case.
bool names_compressed_file(const char* name);
