// Signals are for the threads of the program that called the library: a
// worker thread of a job keeps asynchronous signals off itself.
#pragma once

void keep_signals_off_this_thread();
