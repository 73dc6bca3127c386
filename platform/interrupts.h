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

// While a job's pipeline runs, an interrupt is only noted: the job stops
// between two blocks, joins its workers, removes its output, and the
// program then ends as the interrupt would have ended it.  A second
// interrupt meanwhile ends the program at once.
void defer_interrupts(bool on);

// The signal noted while interrupts were deferred; 0 for none.
int pending_interrupt();

// Ends the program as the noted interrupt would have: exit status 128 + its
// number.  Returns when none was noted.
void end_if_interrupted();

// Keeps interrupts off the calling thread, so that the thread that runs
// the job takes them all: called by each worker as it starts.
void keep_interrupts_off_this_thread();
