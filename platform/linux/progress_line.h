// The status window's progress bar drawn as one line of text on standard
// error: percent done, bytes done of the total, and speed.  Drawn only when
// standard error is a terminal and the run has gone on for more than a
// second, redrawn a few times a second, and cleared before any other text
// is printed, so that it never mixes with the lines that follow.
#pragma once

#include <cstdint>

// No progress line at all in this program run.
void disable_progress_line();

// A bar's range was set: a run of `total` bytes starts now.
void start_progress_line(int64_t total);

// The bar moved to `position` of the total.  At the total the run is over
// and the line is cleared.
void move_progress_line(int64_t position);

// Takes the line off the terminal if it is shown.
void clear_progress_line();
