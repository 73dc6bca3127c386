// The Windows program's run of the dropped files: one status window for the
// whole batch, served by its own thread's message loop the whole time, while
// each job's codec runs on a worker thread.
//
// The status window names the file in work ("name (3 of 6)" when several
// were dropped), its bar and the taskbar button show the batch's progress,
// and Cancel, Escape or the close command stop the job between two blocks:
// its output is removed, the files not yet started are left alone, and no
// result dialog follows.  A single file reports a failure at once and shows
// its own result dialog.  Several files: each failure is collected and all
// are shown in one message box at the end, followed by one result dialog
// for the batch: the compression dialog with the totals of the files
// compressed when there are any (a mixed batch included), else the
// expansion dialog when files were expanded; the elapsed time is the
// batch's.
#pragma once

#include <string>
#include <vector>

// Runs the batch; no name shows the about box.  Returns when every window
// is gone.
void run_batch(const std::vector<std::string>& names);
