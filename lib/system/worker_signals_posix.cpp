#include <pthread.h>
#include <signal.h>

#include <initializer_list>

#include "system/worker_signals.h"

// Every signal but those that a fault of this very thread raises, which
// cannot be held back.
void keep_signals_off_this_thread() {
    sigset_t set;
    sigfillset(&set);
    for (int fault : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT, SIGSYS}) sigdelset(&set, fault);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}
