#include "app/result_text.h"

#include <cstdio>

void format_size(double bytes, char* out, size_t capacity) {
    if (bytes < 1024.0) {
        std::snprintf(out, capacity, "%.0f bytes", bytes);
    } else if (bytes < 1048576.0) {
        std::snprintf(out, capacity, "%.2f KB   (%.0f bytes)", bytes * 0.0009765625, bytes);
    } else {
        std::snprintf(out, capacity, "%.2f MB   (%.0f bytes)",
                      bytes * 0.00000095367431640625, bytes);
    }
}

void format_elapsed_time(uint32_t start_ticks, uint32_t end_ticks, char* out, size_t capacity) {
    int32_t difference = static_cast<int32_t>(end_ticks - start_ticks);
    std::snprintf(out, capacity, "Elapsed Time: %.02f sec.", static_cast<double>(difference) * 0.001);
}

void format_original_size(double uncompressed, char* out, size_t capacity) {
    char size[kLineCapacity];
    format_size(uncompressed, size, sizeof size);
    std::snprintf(out, capacity, "Original Size: %s", size);
}

void format_compressed_size(double compressed, char* out, size_t capacity) {
    char size[kLineCapacity];
    format_size(compressed, size, sizeof size);
    std::snprintf(out, capacity, "Compressed Size: %s", size);
}

void format_percent_reduced(double uncompressed, double compressed, char* out,
                            size_t capacity) {
    char saving[kLineCapacity];
    format_size(uncompressed - compressed, saving, sizeof saving);
    if (uncompressed == 0.0) {
        std::snprintf(out, capacity, "Percent Reduced: n/a   %s", saving);
    } else {
        std::snprintf(out, capacity, "Percent Reduced: %.2f%%   %s",
                      100.0 - (compressed / uncompressed) * 100.0, saving);
    }
}
