// Selection by a conditional move.
//
// The merge and split loops choose between nodes and counts on conditions
// that follow the data and are too irregular for branches to be guessed
// well; compilers tend to turn a plain selection there back into a branch.
#pragma once

#include <cstdint>

// The hand-written x86-64 loops of the merge and the split; elsewhere, and
// when Q73_PORTABLE_LOOPS is defined, their portable C++ forms.
#if defined(__x86_64__) && !defined(Q73_PORTABLE_LOOPS)
#define Q73_X86_64_LOOPS 1
#endif

// x when `take` is not 0, else y.
template <typename T>
static inline T pick(uint32_t take, T x, T y) {
#if (defined(__x86_64__) || defined(__i386__)) && !defined(Q73_PORTABLE_LOOPS)
    __asm__("test %1, %1\n\tcmovnz %2, %0" : "+r"(y) : "r"(take), "r"(x) : "cc");
    return y;
#else
    return take ? x : y;
#endif
}
