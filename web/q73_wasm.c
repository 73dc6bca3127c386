/*
 * q73_wasm.c - what the JavaScript side of the WebAssembly build calls.
 *
 * JavaScript sees only numbers: a job is a pointer to a q73w_job, sizes are
 * doubles (exact below 2^53, and the format stops at 2^31), and a failure is
 * a q73_result.  Each job owns a push coder and an id that JavaScript chose;
 * the coder's output goes, block by block, to q73w_output(), a function of
 * the JavaScript side that copies it out of the wasm memory at once.  So the
 * wasm memory holds one coder and one input piece per job, however long the
 * data is.
 */
#include <emscripten.h>
#include <stdint.h>
#include <stdlib.h>

#include "q73.h"

/* Hands `size` bytes at `data` of the job `id` to JavaScript; 0 when taken. */
EM_JS(int, q73w_output, (int id, const void *data, size_t size), {
    return Module["q73Output"](id, data, size);
});

typedef struct q73w_job {
    q73_coder *coder;
    int id;
} q73w_job;

static int write_output(void *user, const void *data, size_t size) {
    return q73w_output(((q73w_job *)user)->id, data, size);
}

EMSCRIPTEN_KEEPALIVE const char *q73w_version(void) { return q73_version(); }

EMSCRIPTEN_KEEPALIVE const char *q73w_result_text(int result) {
    return q73_result_text((q73_result)result);
}

/* Puts `header` at `out`: the original size as a double at out + 0, the
 * header's size as a 32-bit number at out + 8 and the extension's four bytes
 * (NUL-terminated) at out + 12. */
static void put_header(const q73_header *header, uint8_t *out) {
    double original = (double)header->original_size;
    uint32_t header_size = (uint32_t)header->header_size;
    __builtin_memcpy(out, &original, 8);
    __builtin_memcpy(out + 8, &header_size, 4);
    __builtin_memcpy(out + 12, header->extension, 4);
}

/* Reads the header at `data` into `out` (see put_header). */
EMSCRIPTEN_KEEPALIVE int q73w_read_header(const void *data, size_t size, uint8_t *out) {
    q73_header header;
    q73_result result = q73_read_header(data, size, &header);
    put_header(&header, out);
    return result;
}

/*
 * A new job: a compressor of `size` bytes with `extension` (NULL for none)
 * when `expand` is 0, else an expander.  Returns the job's pointer, or the
 * negated q73_result when it cannot be made (pointers are below 2^31).
 */
EMSCRIPTEN_KEEPALIVE intptr_t q73w_open(int expand, double size, const char *extension, int id) {
    q73w_job *job = (q73w_job *)malloc(sizeof *job);
    if (job == NULL) return -(intptr_t)Q73_NO_MEMORY;
    job->id = id;
    job->coder = NULL;
    q73_result result;
    if (expand) {
        result = q73_coder_expand(&job->coder);
    } else if (!(size >= 0.0) || size >= 18446744073709551616.0) {
        result = Q73_TOO_LARGE;
    } else {
        result = q73_coder_compress((uint64_t)size, extension, &job->coder);
    }
    if (result != Q73_OK) {
        free(job);
        return -(intptr_t)result;
    }
    return (intptr_t)job;
}

EMSCRIPTEN_KEEPALIVE int q73w_push(q73w_job *job, const void *data, size_t size) {
    return q73_coder_push(job->coder, data, size, write_output, job);
}

EMSCRIPTEN_KEEPALIVE int q73w_finish(q73w_job *job) {
    return q73_coder_finish(job->coder, write_output, job);
}

/* Bytes of the original done so far. */
EMSCRIPTEN_KEEPALIVE double q73w_done(q73w_job *job) {
    return (double)q73_coder_done(job->coder);
}

/* An expander's header, into `out` (see put_header). */
EMSCRIPTEN_KEEPALIVE int q73w_header(q73w_job *job, uint8_t *out) {
    q73_header header = {0};
    q73_result result = q73_coder_header(job->coder, &header);
    put_header(&header, out);
    return result;
}

EMSCRIPTEN_KEEPALIVE void q73w_close(q73w_job *job) {
    if (job == NULL) return;
    q73_coder_free(job->coder);
    free(job);
}
