// The file calls of a job beyond the handle calls of win32.h: opening by
// name without a limit on the name's length, and what it takes to make an
// output appear whole under its name or not at all.  Names are 8-bit
// strings as the program receives them (UTF-8 on both systems).
#pragma once

#include <cstdint>

#include "platform/win32.h"

// Opens an existing file for reading (OF_READ), or creates a file for
// reading and writing, replacing an existing one of that name (OF_CREATE):
// what the job relies on of OpenFile, without OpenFile's limit of 128
// characters.  HFILE_ERROR on failure; a folder is never opened.
HFILE open_file(LPCSTR name, UINT style);

// Creates `name` for reading and writing; fails when anything of that name
// exists, a link included (a link is never followed).  Until
// copy_file_metadata says otherwise, only its owner may read it.
HFILE create_new_file(LPCSTR name);

#ifdef _WIN32
// On Windows, create_new_file's file is deleted by the system when its last
// handle is closed, also when the process dies: a job cut short leaves
// nothing.  This lets it stay after it is closed, writing its data through
// to the disk first when `write_through` is set; false when the data could
// not be written through.
bool keep_file_on_close(HFILE file, bool write_through);
#endif

// Gives the open file `to` the modification time of the open file `from`
// and, where the system has them, its permission bits.  Call it after the
// last write to `to`.
bool copy_file_metadata(HFILE from, HFILE to);

// Removes the file `name`; false when it could not.
bool remove_file(LPCSTR name);

// False when `name` is something that replace_file cannot replace with a
// file: a folder, and on Windows a read-only file.  Nothing of that name,
// or a file (on Linux also a link, which is replaced, not followed), is
// fine.  Asked before a job starts, so that it does not do all its work in
// vain.
bool may_replace_file(LPCSTR name);

// True when something has the name `name` (a link counts, wherever it
// leads), and when the system cannot tell.
bool name_taken(LPCSTR name);

// Moves the closed file `from` to the name `to` in one step, replacing a
// file of that name; on failure nothing of either name has changed.
bool replace_file(LPCSTR from, LPCSTR to);

// A mark of how much has been written to the open `file`: the difference of
// two readings is the number of bytes written to it between them, for an
// output that cannot seek (a pipe, a terminal) as well as for a file.
int64_t written_mark(HFILE file);
