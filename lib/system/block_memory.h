// Memory for buffers that every block fills from end to end.
#pragma once

#include <cstddef>
#include <cstdint>

// `bytes` of zeroed memory, null when there is none.  Where the system can
// back it by large pages it does so for the whole large pages inside it
// (one fault in place of hundreds), and never beyond them, so that memory
// left unused is not taken.
uint8_t* allocate_block_memory(size_t bytes);
void free_block_memory(uint8_t* memory, size_t bytes);
