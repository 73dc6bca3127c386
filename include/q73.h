/*
 * q73.h - the Q73 compression library
 *
 * Q73 is a lossless compressor with a block codec and a file format of its
 * own.  This header is the library's whole interface: it compresses bytes
 * into the exact bytes of a .Q73 file, as the q73 programs write it, and
 * expands such a file back.
 *
 * The format in brief: a header of 5 to 9 bytes (a flag byte, the raw first
 * byte when the length is odd, an optional three-character extension of the
 * original file's name, and the original length as 32 bits little-endian),
 * then the blocks, each of up to 524288 bytes of the original.  Lengths below
 * 2^31 bytes only.
 *
 * Three ways in:
 *
 *  - In one piece: q73_compress() and q73_expand() work from a buffer into a
 *    buffer, q73_compress_bound() says how much room a compression needs and
 *    q73_read_header() how much an expansion does.
 *  - Streams the library pulls: q73_compress_stream() and q73_expand_stream()
 *    ask the caller's read function for the input and hand the output to its
 *    write function, in memory that does not grow with the data: about 4 MB,
 *    plus 3 MB for each worker thread.
 *  - Streams the caller pushes: a q73_coder takes the input in pieces of any
 *    size as they come (from an event loop, a socket, a browser) and hands
 *    out the output as soon as each block is done; one thread, about 3 MB.
 *
 * Threads: every function may be called from any number of threads at once.
 * The library keeps no state of its own between calls; each job lives in
 * memory that the call allocates and frees, or in the q73_coder that the
 * caller owns (one thread at a time for each coder).  With
 * q73_options.threads above 1 a job codes its blocks on worker threads of
 * its own, which it joins before it returns; the caller's functions (read,
 * write, progress) are only ever called on the calling thread.  Worker
 * threads block asynchronous signals, so signals go to the caller's threads.
 *
 * Results: every function that can fail returns a q73_result; Q73_OK is 0.
 * On a failure an output buffer may hold part of the output, but never a
 * byte past its capacity, and its *dst_size is set to 0.
 *
 * Compatibility: the version's MAJOR number changes only when this interface
 * changes in a way that breaks programs built against it (the shared
 * library's soname is libq73.so.MAJOR).  The file format never changes.
 */
#ifndef Q73_H
#define Q73_H

#define Q73_VERSION_MAJOR 1
#define Q73_VERSION_MINOR 1
#define Q73_VERSION_PATCH 0
/* "MAJOR.MINOR.PATCH" of the three numbers above. */
#define Q73_VERSION_STRING "1.1.0"

#ifndef RC_INVOKED /* a Windows resource script takes the version alone */

#include <stddef.h>
#include <stdint.h>

#if defined(Q73_SHARED_BUILD) && defined(_WIN32)
#define Q73_API __declspec(dllexport)
#elif defined(Q73_SHARED_BUILD)
#define Q73_API __attribute__((visibility("default")))
#elif defined(Q73_DLL) && defined(_WIN32)
/* Define Q73_DLL when linking with q73.dll through its import library. */
#define Q73_API __declspec(dllimport)
#else
#define Q73_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The library's version, "MAJOR.MINOR.PATCH": the version of the library the
 * program runs with, which may be newer than the header it was built with. */
Q73_API const char *q73_version(void);

/* What a call ends with. */
typedef enum q73_result {
    Q73_OK = 0,             /* done */
    Q73_BAD_DATA = 1,       /* not Q73 data, or damaged or cut short */
    Q73_SHORT_OUTPUT = 2,   /* the output does not fit in the room given */
    Q73_TOO_LARGE = 3,      /* the input is 2^31 bytes or longer */
    Q73_NO_MEMORY = 4,      /* memory or a thread could not be had */
    Q73_READ_FAILED = 5,    /* the read function failed, or the input ended early */
    Q73_WRITE_FAILED = 6,   /* the write function failed */
    Q73_STOPPED = 7,        /* the progress function asked to stop */
    Q73_BAD_ARGUMENT = 8    /* an argument is out of its range */
} q73_result;

/* A short sentence that says what `result` means, a different one for each
 * result; never NULL, also for a value that is no q73_result. */
Q73_API const char *q73_result_text(q73_result result);

/* ---- The header ---------------------------------------------------------- */

/* The longest header in bytes; the shortest is 5. */
#define Q73_MAX_HEADER_SIZE 9

/* What a compressed file's header says. */
typedef struct q73_header {
    uint64_t original_size; /* bytes of the original, below 2^31 */
    char extension[4];      /* the original name's extension, NUL-terminated:
                               three characters, fewer when a stored one ends
                               early at a zero byte, "" when none is stored */
    size_t header_size;     /* bytes of the header: 5 to 9 */
} q73_header;

/*
 * Reads the header at the start of `data` (`size` bytes, of which the first
 * Q73_MAX_HEADER_SIZE are enough).
 *
 * Q73_OK with *header filled in; Q73_BAD_DATA when the bytes are not a whole
 * and sound header of this format (cut short, a flag byte without the
 * format's mark, a length of 2^31 or more or whose evenness differs from
 * the flags, an extension with a control character, '/', '\\' or ':');
 * Q73_BAD_ARGUMENT when `header` is NULL
 * or `data` is NULL with a size above 0.  *header is all zeros on a failure.
 */
Q73_API q73_result q73_read_header(const void *data, size_t size, q73_header *header);

/* ---- Options ------------------------------------------------------------- */

/*
 * Progress: called with the bytes of the original that are done, in order
 * (a compression's bytes read and coded, an expansion's bytes written), and
 * the original's size.  `done` never goes back and never passes `total`; the
 * last call of a job that succeeds has done == total.  Return 0 to go on, any
 * other value to stop the job, which then ends with Q73_STOPPED (also when
 * it was the last call: the caller asked for the job not to count).
 */
typedef int (*q73_progress_fn)(void *user, uint64_t done, uint64_t total);

/* q73_options.threads: every processor that the process may run on. */
#define Q73_ALL_PROCESSORS 0xFFFFFFFFu

/*
 * How a job runs.  A NULL pointer, or a value whose fields are all zero,
 * means the defaults: the calling thread alone, no progress.  Fields may be
 * added at the end in later versions; set the whole value to zero first
 * (q73_options o = {0};) and then the fields you want.
 */
typedef struct q73_options {
    /* 0 or 1: the job runs on the calling thread alone.  N: blocks are coded
     * on up to N worker threads (never more than the job has blocks) while
     * the calling thread reads and writes.  Q73_ALL_PROCESSORS: as many
     * workers as the process has processors.  The bytes are the same
     * whatever the number. */
    unsigned threads;
    /* When set, called on the calling thread at least once per job and after
     * each block. */
    q73_progress_fn progress;
    void *progress_user;
} q73_options;

/* ---- In one piece ---------------------------------------------------------- */

/* The most bytes that q73_compress() may make of `size` bytes; 0 when `size`
 * is 2^31 or more, which cannot be compressed. */
Q73_API size_t q73_compress_bound(size_t size);

/*
 * Compresses the `src_size` bytes at `src` into a whole .Q73 file at `dst`,
 * whose capacity is `dst_capacity` bytes (q73_compress_bound(src_size) is
 * always enough).  `extension` is NULL to store none, or exactly three
 * characters (the original name's extension, such as "txt", which an
 * expander gives the restored file back; none of them a control character,
 * '/', '\\' or ':').
 *
 * Q73_OK with the compressed size in *dst_size; Q73_SHORT_OUTPUT when it
 * does not fit; Q73_TOO_LARGE for 2^31 bytes or more; Q73_BAD_ARGUMENT for an
 * extension that is not three such characters, a NULL `dst_size`, or a NULL
 * pointer with a size above 0; Q73_NO_MEMORY; Q73_STOPPED.  The bytes are
 * exactly those of the q73 programs' file.
 */
Q73_API q73_result q73_compress(const void *src, size_t src_size, const char *extension,
                                void *dst, size_t dst_capacity, size_t *dst_size,
                                const q73_options *options);

/*
 * Expands the .Q73 file of `src_size` bytes at `src` into `dst`, of
 * `dst_capacity` bytes (the header's original_size is what it takes).  Bytes
 * after the last block are ignored.
 *
 * Q73_OK with the original's size in *dst_size; Q73_BAD_DATA when the data
 * is not a .Q73 file or is damaged or cut short; Q73_SHORT_OUTPUT when the
 * original does not fit (nothing is then written at all); Q73_BAD_ARGUMENT
 * for a NULL `dst_size` or a NULL pointer with a size above 0;
 * Q73_NO_MEMORY; Q73_STOPPED.
 */
Q73_API q73_result q73_expand(const void *src, size_t src_size, void *dst, size_t dst_capacity,
                              size_t *dst_size, const q73_options *options);

/* ---- Streams the library pulls ---------------------------------------------- */

/* Reads up to `size` bytes into `buffer`: returns how many (fewer is fine at
 * any time), 0 at the end of the input, or a negative number on a failure. */
typedef ptrdiff_t (*q73_read_fn)(void *user, void *buffer, size_t size);

/* Takes all `size` bytes at `data`: returns 0 when it did, anything else on a
 * failure. */
typedef int (*q73_write_fn)(void *user, const void *data, size_t size);

/*
 * Compresses an input of exactly `size` bytes, read through `read`, into a
 * whole .Q73 file handed to `write` in order.  Nothing is read past `size`
 * bytes.  `extension` as for q73_compress().
 *
 * Q73_READ_FAILED when a read fails or the input ends before `size` bytes;
 * Q73_WRITE_FAILED when a write fails; Q73_TOO_LARGE for a `size` of 2^31 or
 * more (before anything is read or written); Q73_BAD_ARGUMENT for a NULL
 * function or a bad extension; Q73_NO_MEMORY; Q73_STOPPED.  What was written
 * before a failure is no whole file.
 */
Q73_API q73_result q73_compress_stream(q73_read_fn read, void *read_user, uint64_t size,
                                       const char *extension, q73_write_fn write,
                                       void *write_user, const q73_options *options);

/*
 * Expands a .Q73 file read through `read` and hands the original to `write`
 * in order.  The input is read forward only (a pipe will do), and not
 * necessarily to its end: bytes after the last block are not asked for, or
 * ignored.
 *
 * Q73_BAD_DATA when the input is not a .Q73 file or is damaged or cut short
 * (what was written by then is not the original); Q73_READ_FAILED when a
 * read fails; Q73_WRITE_FAILED when a write fails; Q73_BAD_ARGUMENT for a
 * NULL function; Q73_NO_MEMORY; Q73_STOPPED.
 */
Q73_API q73_result q73_expand_stream(q73_read_fn read, void *read_user, q73_write_fn write,
                                     void *write_user, const q73_options *options);

/* ---- Streams the caller pushes ---------------------------------------------- */

/* A job fed in pieces: made by q73_coder_compress() or q73_coder_expand(),
 * fed by q73_coder_push(), ended by q73_coder_finish(), freed by
 * q73_coder_free().  Used by one thread at a time. */
typedef struct q73_coder q73_coder;

/*
 * A coder that compresses `size` bytes, to be pushed in pieces, with
 * `extension` as for q73_compress().  Q73_OK with the coder in *coder;
 * Q73_TOO_LARGE, Q73_BAD_ARGUMENT or Q73_NO_MEMORY with *coder NULL.
 */
Q73_API q73_result q73_coder_compress(uint64_t size, const char *extension, q73_coder **coder);

/* A coder that expands a .Q73 file pushed in pieces.  Q73_OK or
 * Q73_NO_MEMORY (or Q73_BAD_ARGUMENT for a NULL `coder`). */
Q73_API q73_result q73_coder_expand(q73_coder **coder);

/*
 * Takes the next `size` bytes of the input (any number, 0 too) and hands to
 * `write` every byte of output that they complete, in order: a compressor
 * writes the header at once and then each block as its last byte arrives;
 * an expander each block's original bytes once its records are all in.
 *
 * Q73_OK to go on.  Q73_BAD_DATA (expander: the input is not a .Q73 file or
 * is damaged), Q73_READ_FAILED (compressor: more than `size` bytes pushed),
 * Q73_WRITE_FAILED, Q73_NO_MEMORY, or Q73_BAD_ARGUMENT (a NULL `write`, or a
 * NULL `data` with bytes to push) end the job: every later call returns the
 * same result.  A NULL `coder` is Q73_BAD_ARGUMENT.
 * An expander ignores what is pushed after the last block.
 */
Q73_API q73_result q73_coder_push(q73_coder *coder, const void *data, size_t size,
                                  q73_write_fn write, void *write_user);

/*
 * Says that the input has ended, and hands `write` what is left to write (a
 * compressor of 0 bytes writes its header here).  Q73_OK when the job is
 * whole: a compressor was given exactly its `size` bytes (else
 * Q73_READ_FAILED), an expander all its blocks (else Q73_BAD_DATA); or the
 * result that ended the job earlier.
 */
Q73_API q73_result q73_coder_finish(q73_coder *coder, q73_write_fn write, void *write_user);

/*
 * After an expander has been pushed its header (at most 9 bytes): Q73_OK with
 * *header filled in.  Before that Q73_SHORT_OUTPUT; for data that is not a
 * .Q73 file, Q73_BAD_DATA; for a compressor or a NULL pointer,
 * Q73_BAD_ARGUMENT.  *header is all zeros but on Q73_OK.
 */
Q73_API q73_result q73_coder_header(const q73_coder *coder, q73_header *header);

/* Bytes of the original done so far: pushed and coded when compressing,
 * written when expanding. */
Q73_API uint64_t q73_coder_done(const q73_coder *coder);

/* Frees the coder and all its memory; NULL is allowed. */
Q73_API void q73_coder_free(q73_coder *coder);

#ifdef __cplusplus
}
#endif

#endif /* RC_INVOKED */

#endif /* Q73_H */
