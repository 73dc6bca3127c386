// The program ended from outside while a job writes its output.
//
// A job writes its output under a temporary name and moves it to its final
// name only when the job has succeeded.  Should the program be ended
// meanwhile, that temporary file must not stay behind: the file named here
// is removed when the program is interrupted, and the program ends at once.
#pragma once

// Names the file that an interrupt is to remove, and starts catching the
// interrupts if that has not happened yet.  Call it before the file is
// created.  False when the name does not fit; the caller then creates
// nothing.
bool guard_against_interrupts(const char* name);

// Forgets the guarded name: call it once the file has been moved to its
// final name or removed.
void release_interrupt_guard();
