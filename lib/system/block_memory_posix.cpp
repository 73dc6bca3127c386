#include <sys/mman.h>

#include "system/block_memory.h"

namespace {
constexpr size_t kLargePage = size_t{2} << 20;
}

uint8_t* allocate_block_memory(size_t bytes) {
    if (bytes == 0) return nullptr;
    // Mapped with a large page's worth to spare, then trimmed to start on a
    // large page's boundary.
    size_t mapped = bytes + kLargePage;
    void* memory = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return nullptr;
    uintptr_t start = reinterpret_cast<uintptr_t>(memory);
    uintptr_t first = (start + kLargePage - 1) & ~(kLargePage - 1);
    if (first > start) munmap(memory, first - start);
    uintptr_t end = first + ((bytes + 4095) & ~size_t{4095});
    if (start + mapped > end) munmap(reinterpret_cast<void*>(end), start + mapped - end);
    // Only a hint: a system without large pages, or with none free, keeps
    // the small ones.
    size_t whole = bytes & ~(kLargePage - 1);
    if (whole > 0) madvise(reinterpret_cast<void*>(first), whole, MADV_HUGEPAGE);
    return reinterpret_cast<uint8_t*>(first);
}

void free_block_memory(uint8_t* memory, size_t bytes) {
    if (memory != nullptr) munmap(memory, bytes);
}
