// How many processors the program may run on.
#pragma once

// The processors of the process's affinity (on Windows counting every
// processor group the process may use); at least 1.
int usable_processors();
