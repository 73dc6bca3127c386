// GetCurrentProcessId: the process id, which no other running process
// shares.
#include <unistd.h>

#include "platform/win32.h"

DWORD GetCurrentProcessId(void) {
    return static_cast<DWORD>(getpid());
}
