// The Linux program's jobs as its options ask for them: which job each name
// gets, where its input comes from and where its output goes.
#pragma once

#include <string>
#include <vector>

#include "app/cli_options.h"

// True when `name`'s job compresses under these options.
bool compresses(const CliOptions& options, const std::string& name);

// True when `name`'s result goes to standard output: -c, -o -, or "-" with
// no -o.  Never for -t, which writes nothing.
bool writes_stdout(const CliOptions& options, const std::string& name);

// Runs one job per name, in order, each as a single job runs: a failure is
// reported and the next name still runs.  Returns the number that failed.
int run_cli_jobs(const CliOptions& options, const std::vector<std::string>& names);
