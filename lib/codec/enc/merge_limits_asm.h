// The step that both hand-written merge loops share, as inline assembly
// text: from a symbol's count n and its share c0 (c1 = n - c0, the later
// list's), the least and the most the earlier span can hold,
//   low = max(n - rem1, 0), high = min(rem0, n),
// the remainders moved past the symbol, and what is coded: the value
// c0 - low (left in c0) under the bound high - low (left in high).
// Operands are named as in the loop that uses it; `scratch` may be `high`.
#pragma once

#define Q73_MERGE_LIMITS(n, c0, c1, low, high, scratch)     \
    "xor %k[" #scratch "], %k[" #scratch "]\n\t"           \
    "mov %k[" #n "], %k[" #low "]\n\t"                     \
    "sub %k[rem1], %k[" #low "]\n\t"                       \
    "cmovl %k[" #scratch "], %k[" #low "]\n\t"             \
    "mov %k[rem0], %k[" #high "]\n\t"                      \
    "cmp %k[" #n "], %k[" #high "]\n\t"                    \
    "cmovg %k[" #n "], %k[" #high "]\n\t"                  \
    "sub %k[" #c0 "], %k[rem0]\n\t"                        \
    "sub %k[" #c1 "], %k[rem1]\n\t"                        \
    "sub %k[" #low "], %k[" #high "]\n\t"                  \
    "sub %k[" #low "], %k[" #c0 "]\n\t"
