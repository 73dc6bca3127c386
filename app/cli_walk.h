// The files of the Linux program's jobs: the command line's FILEs, and with
// -r the files in each folder among them.
#pragma once

#include <string>
#include <vector>

// The job names for `files`, in order.  A folder among them, with
// `recursive`, gives the files in it and in the folders below it, in order
// of their names: with `expanding` every name ending in .q73 (any case),
// else every other regular file.  Symbolic links and other special files
// found there are skipped with a warning on standard error (none when
// `quiet`).  A folder that cannot be read is reported and counted in
// *failures.  Without `recursive`, or for "-", a name is taken as it is.
std::vector<std::string> collect_job_names(const std::vector<std::string>& files, bool recursive,
                                           bool expanding, bool quiet, int* failures);
