// What a codec run ends with.  The codec itself shows nothing; the job that
// called it turns a failure into the user's message.
#pragma once

enum class CodecStatus {
    ok,
    read_failed,   // the input file could not be read
    write_failed,  // the output file could not be written (disk full)
    damaged,       // the compressed data is truncated or inconsistent
    no_memory,     // a record buffer could not be allocated
    stopped,       // the job was asked to stop (Cancel, an interrupt)
};
