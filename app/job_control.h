// What a running job shares with whoever started it: a request to stop and
// how far it has come.  The job may run on a thread of its own; both fields
// are read and written from any thread.
#pragma once

#include <atomic>
#include <cstdint>

struct JobControl {
    // Set from outside (Cancel, an interrupt): the job stops between two
    // blocks, writes nothing more and ends as Q73_STOPPED.
    std::atomic<bool> stop{false};
    // Uncompressed bytes whose result has been written, in file order: it
    // never goes back and never passes the file's length.
    std::atomic<int64_t> bytes_done{0};
    // Called on the job's own thread after each block has been written, with
    // bytes_done; null for none.
    void (*on_block)(int64_t bytes_done) = nullptr;
    // Set when the output is synced once the job is done: each block's
    // result is then sent on to the disk as soon as it is written.
    bool write_out_early = false;
};
