// Start-up after the command line has been read: the about box, or the
// status window and its job command.  Shared by the Windows entry and the
// Linux entry; only the way the name arrives differs.
#pragma once

#include "app/command_line.h"

// Runs the job on file_name (already filled), or shows the about box when it
// is empty.  `tail` says whether the name fitted its buffer.
void run_startup(TailResult tail);
