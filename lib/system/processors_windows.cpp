#include <windows.h>

#include "system/processors.h"

// A process runs in one processor group unless the system spreads it over
// several; the groups it may use are those of its affinity.  Within one
// group the affinity mask says which processors; beyond one, each group's
// active processors count.
int usable_processors() {
    USHORT groups[64];
    USHORT group_count = 64;
    if (GetProcessGroupAffinity(GetCurrentProcess(), &group_count, groups) && group_count > 1) {
        int count = 0;
        for (USHORT k = 0; k < group_count; ++k) count += static_cast<int>(GetActiveProcessorCount(groups[k]));
        if (count > 0) return count;
    }
    DWORD_PTR process_mask = 0;
    DWORD_PTR system_mask = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &process_mask, &system_mask) && process_mask != 0) {
        return __builtin_popcountll(static_cast<unsigned long long>(process_mask));
    }
    return 1;
}
