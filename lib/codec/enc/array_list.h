// A run list held in an array on the stack, for spans of up to 4096 bytes.
#pragma once

#include <cstdint>

// A run's symbol is at cells[k], its count kStride cells further on; runs
// are copied eight at a time, so there is room for seven more behind the
// sentinel of a list of 256 runs.
constexpr int kStride = 256 + 16;

// Ends every list: above every byte, so a merge needs one test per step for
// the end of either list.
constexpr uint16_t kSentinel = 256;

struct ArrayList {
    int runs;
    uint16_t cells[2 * kStride];
};
