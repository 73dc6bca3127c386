// A private folder for the jobs that a fuzz target runs, and checks on what
// a job leaves in it.  Each target runs one job after another in the same
// process, so the folder is made once and emptied after every input.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fuzz {

// The folder, created on first use under $TMPDIR (or /tmp).
const std::string& folder();
std::string path_in_folder(const std::string& name);

// The names of the files in the folder, sorted.
std::vector<std::string> folder_entries();

void write_whole_file(const std::string& path, const uint8_t* data, size_t size);
std::vector<uint8_t> read_whole_file(const std::string& path);

// Deletes every file in the folder.
void empty_folder();

// Prints the message and aborts, which libFuzzer records as a crash with
// the input that caused it.
[[noreturn]] void fail(const std::string& message);

}  // namespace fuzz
