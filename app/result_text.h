// The lines of the result dialogs, formatted as plain text.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t kLineCapacity = 256;

// "%.0f bytes", "%.2f KB   (%.0f bytes)" or "%.2f MB   (%.0f bytes)".
void format_size(double bytes, char* out, size_t capacity);

// "Elapsed Time: %.02f sec." for the difference of two tick readings, taken
// in 32-bit signed arithmetic so that one wrap of the counter does no harm.
void format_elapsed_time(uint32_t start_ticks, uint32_t end_ticks, char* out, size_t capacity);

void format_original_size(double uncompressed, char* out, size_t capacity);
void format_compressed_size(double compressed, char* out, size_t capacity);

// "Percent Reduced: %.2f%%   <saving>".  An empty original has no ratio; its
// line shows "n/a" in place of the percentage.
void format_percent_reduced(double uncompressed, double compressed, char* out,
                            size_t capacity);
