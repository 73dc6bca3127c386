// Outputs that have no name until they are whole.
//
// Where the system can, a job's output is created as a file with no name in
// the folder it belongs to: whatever ends the program, even a kill that no
// handler sees, such a file leaves nothing behind.  It is given its name only
// when the job has succeeded.  Where the system cannot, create_unnamed_file
// fails and the output is written under a temporary name instead.
#pragma once

#include "platform/win32.h"

// Creates a file with no name, for reading and writing by its owner alone, in
// the folder of `final_name`, ready to be linked to a name there.
// HFILE_ERROR when the system or that folder's file system cannot.
HFILE create_unnamed_file(const char* final_name);

// Gives the unnamed `file` the name `name` in its folder; fails when
// anything of that name exists.
bool link_unnamed_file(HFILE file, const char* name);

// Puts the file's data on the disk: a power cut after this returns true
// loses none of it.  True where the system offers no such call.
bool sync_file(HFILE file);

// Asks the system to start writing what has been written to `file` so far
// out to the disk, without waiting for it: the sync at the end of a job then
// has little left to wait for.  Nothing where the system has no such call
// or `file` is no file.
void start_writing_out(HFILE file);

// Puts the names in the folder of `name` on the disk: a file just named or
// renamed there keeps its name through a power cut.
bool sync_folder_of(const char* name);

// Gives a file that was not made from another file (standard input's
// result) the permission bits of any new file: 0666 less the umask.
void give_new_file_mode(HFILE file);
