#include <windows.h>

#include "system/block_memory.h"

// Large pages need a privilege that a desktop user does not hold; the
// system's own pages, committed as they are first touched, serve.
uint8_t* allocate_block_memory(size_t bytes) {
    return static_cast<uint8_t*>(VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
}

void free_block_memory(uint8_t* memory, size_t bytes) {
    (void)bytes;
    if (memory != nullptr) VirtualFree(memory, 0, MEM_RELEASE);
}
