// The opening of a job's two files: the names, the refusals and the
// messages.  The library (q73.h) writes and reads the compressed file's
// header and everything behind it; the container reads a header only to
// name the restored file and to refuse what is no compressed file, and
// hands the bytes it read on to the expansion (header_bytes).
//
// Each opening operation reports its own failures in a message box and
// returns its failure value.  Everything that can be checked is checked
// before the output file is created, so a refused file leaves nothing
// behind.  The output is written as a file with no name in its own folder
// (where the system has such files; under a temporary name otherwise); a
// finished job puts its data on the disk and then gives it its final name
// with commit_output, replacing an existing file of that name at that moment
// and no earlier, and a failed job removes it with discard_output_file, so
// a file of the final name keeps every byte.
#pragma once

#include <cstdint>

#include "platform/win32.h"
#include "format/naming.h"
#include "q73.h"

// The flag byte's bit that says a stored extension follows (which may end
// at once at a zero byte, giving a restored name that ends in a full stop).
constexpr uint8_t FLAG_EXTENSION_STORED = 0x01;

// The largest length the 32-bit signed length field can describe.
constexpr int64_t kMaxFileLength = 0x7FFFFFFF;

extern const char* const kMsgCannotFindIn;
extern const char* const kMsgCannotOpenOut;
extern const char* const kMsgCannotOpenIn;
extern const char* const kMsgNotCompressed;
extern const char* const kMsgNameTooLong;
extern const char* const kMsgTooLarge;
extern const char* const kMsgDamaged;
extern const char* const kMsgSameName;
extern const char* const kMsgOutIsIn;
extern const char* const kMsgWriteFailed;
extern const char* const kMsgReadFailed;
extern const char* const kMsgNoMemory;
extern const char* const kMsgCannotReplaceOut;

extern const char* const kMsgStreamIsIn;

// A compressed file's header, and the bytes read to find it: up to
// Q73_MAX_HEADER_SIZE, which may go past the header into the first block.
struct ContainerHeader {
    q73_header header;
    bool extension_stored;
    uint8_t bytes[Q73_MAX_HEADER_SIZE];
    int bytes_read;
};

// A job's two files and the choices that say how they are opened, owned by
// the program that runs the job; a value for each job, so that nothing of
// a job is kept by the container itself.  Zero-initialised apart from the
// handles (JobFiles{} gives the defaults).
struct JobFiles {
    // The file that the job reads (on compression the uncompressed file, on
    // expansion the compressed one) and the file it writes.
    HFILE input_file = HFILE_ERROR;
    HFILE output_file = HFILE_ERROR;

    // The choices, set before the job is opened.
    //
    // An open handle that the job writes its output to instead of creating a
    // file (the Linux program's standard output, for -c); HFILE_ERROR for a
    // file.  Such an output is never closed or removed by the job, and is
    // refused when it is the very file being read.
    HFILE output_stream = HFILE_ERROR;
    // The name the output takes instead of the one made from the input's
    // name (the Linux program's -o); null for the usual name.
    const char* output_choice = nullptr;
    // An open handle that the job reads instead of opening its name (the
    // Linux program's standard input, or its copy in a temporary file when
    // compressing); HFILE_ERROR to open the name.  The job takes it over and
    // closes it.  Nothing is stored of the name, and the output is given the
    // permission bits of a new file.
    HFILE input_stream = HFILE_ERROR;
    // A job that checks a compressed file and writes nothing: no output is
    // created, and output_file stays HFILE_ERROR.
    bool checking_only = false;
    // The output's name must be on the disk as soon as it is given (the
    // input is removed next): commit_output then syncs its folder too.
    bool sync_output_folder = false;
    // Every output's data goes on the disk before it takes its name (the
    // Linux program's --sync), a new one too.
    bool always_sync_output = false;

    // What opening found, for the job and for commit_output.
    //
    // The temporary name of output_file while it exists ("" when the file
    // has no name, or none).
    char output_name[kTemporaryNameCapacity] = {};
    // The name the output takes at commit_output.
    char final_name[kNameCapacity] = {};
    int64_t output_start = 0;
    bool output_unnamed = false;  // output_file is a file with no name
    // Compression: the extension to store ("" for none).  Expansion: the
    // header's bytes as read, which the job reads first, then the rest of
    // input_file.
    char stored_extension[4] = {};
    ContainerHeader header_bytes = {};
};

// Reads a header from the position of `file` forward.  Null when it is
// whole and sound, else the "ERROR: ..." text that says what is wrong.
const char* read_container_header(HFILE file, ContainerHeader* header);

// Whether commit_output puts the output's data on the disk before naming it.
// It does when a power cut could otherwise cost data that existed before
// the job: when the output replaces a file of its name, or when the input
// is removed next (sync_output_folder).  A new file beside an input that is
// kept is not synced, as common compressors do not sync theirs: a power cut
// right after the job may leave that file cut, but the file it was made
// from is whole.  The sync takes a tenth of a 12 MB compression's time.
bool output_needs_sync(const JobFiles* job);

// The bytes written to output_file since the container took it: the whole
// compressed file, header included, on a pipe as well as in a file.
int64_t output_length(const JobFiles* job);

// Shows an error text in a message box with no owner and no caption.  While
// error_subject names a file, the text says which: "ERROR: ... (name)".
void report_error(const char* text);

// The file that errors are about, when one run does several jobs and a bare
// message would not say which of them failed; null otherwise.
extern const char* error_subject;

// When set, report_error hands its text (named as above) to it instead of
// showing it: a batch that says everything in one message at its end.
extern void (*error_sink)(const char* text);

// 1 on success: input_file at its first byte and output_file created,
// empty, with the extension to store in stored_extension.  0 on a reported
// failure.
int open_for_compress(JobFiles* job, const char* name);

// The uncompressed length on success, with output_file created, empty, and
// the header's bytes in header_bytes.  -1 on a reported failure.
int32_t open_for_expand(JobFiles* job, const char* name);

// Closes output_file if it is open and removes it; the final name is left
// as it was.
void discard_output_file(JobFiles* job);

// Gives output_file the modification time and permission bits of
// input_file (still open), closes it and moves it over its final name in
// one step.  False on a reported failure, with the output removed.
bool commit_output(JobFiles* job);

void close_input_file(JobFiles* job);
