// The Linux program's -l: what compressed files hold, from their headers.
#pragma once

#include <string>
#include <vector>

// Prints on standard output a header line, then for each name its
// compressed size and uncompressed size in bytes, the percentage saved and
// the name it would be restored under (for "-", standard input, read to its
// end), and a line of totals when more than one was listed.  A file that
// cannot be read or is not in the format gets its "ERROR: ..." line on
// standard error.  Returns the number of such files.
int list_compressed_files(const std::vector<std::string>& names);
