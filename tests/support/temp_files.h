// Temporary folders and whole-file reads and writes for tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

void write_file(const std::string& path, const Bytes& bytes);
Bytes read_file(const std::string& path);
bool file_exists(const std::string& path);
Bytes bytes_of(const std::string& text);
Bytes corpus_file(const std::string& name);
std::vector<std::string> corpus_names();
// The names in a folder but . and .., sorted.
std::vector<std::string> folder_entries(const std::string& folder);
// Deterministic pseudo-random bytes.
Bytes random_bytes(size_t count, uint32_t state);
