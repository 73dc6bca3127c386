// Whether a name refers to a file that is already open.
//
// Creating a job's output replaces any file of that name.  When that name
// is another link to the very file being read (a hard link, a symbolic
// link), the replacement would empty the input and the job would read back
// its own output.  Callers ask first and refuse.
#pragma once

#include "platform/win32.h"

// True when `name` exists and is the same file as the open `file`.
bool names_open_file(HFILE file, const char* name);

// True when the two open handles are the same file (standard output
// redirected onto the very file being read, say).
bool same_open_files(HFILE a, HFILE b);
