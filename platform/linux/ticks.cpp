// GetTickCount: milliseconds of the monotonic clock, cut to 32 bits so that
// it wraps exactly as the Windows counter does.
#include "platform/win32.h"

#include <ctime>

DWORD GetTickCount(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    unsigned long long ms = static_cast<unsigned long long>(ts.tv_sec) * 1000ull +
                            static_cast<unsigned long long>(ts.tv_nsec) / 1000000ull;
    return static_cast<DWORD>(ms);
}
