// Nothing to catch on Windows.
//
// A program with windows and no console receives no signals and no console
// control events (Ctrl+C, a closed console window): those reach console
// programs only.  A process ended from outside with TerminateProcess (End
// task in the Task Manager, taskkill /F) or by a crash runs none of its own
// code; its unfinished output goes all the same, as create_new_file marks
// it to be deleted when its handle is closed, which the system does for a
// process that ends.  The one orderly end that the program can meet during
// a job, the end of the user's session, arrives at the status window as
// WM_ENDSESSION, and the status procedure discards the output itself.
#include "platform/interrupts.h"

bool guard_against_interrupts(const char*) {
    return true;
}

void release_interrupt_guard() {}

void defer_interrupts(bool) {}

int pending_interrupt() {
    return 0;
}

void end_if_interrupted() {}

void keep_interrupts_off_this_thread() {}
