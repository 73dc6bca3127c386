#include "system/worker_signals.h"

// Windows sends a console's interrupts to a thread of their own.
void keep_signals_off_this_thread() {}
