// Start-up after the command line has been read: the about box, or one job
// per file name, each with its own status window and job command.  Shared
// by the Windows entry and the Linux entry; only the way the names arrive
// differs.
#pragma once

#include <string>
#include <vector>

// Runs one job per name, in the order given, each exactly as a single job
// runs: a failure is reported and the next name still runs.  No name shows
// the about box.  Returns the number of jobs that failed.
int run_jobs(const std::vector<std::string>& names);

// What run_one_job does with file_name: by its ending (the Windows program
// and the default), or the job the Linux program's -z or -d asked for.
enum class JobChoice { by_name, compress, expand };
extern JobChoice job_choice;

// Runs the job on file_name, already filled: compress or expand as
// job_choice says.  False when the job stopped on a reported failure.
bool run_one_job();
