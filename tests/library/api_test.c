/*
 * The library as a program outside the project sees it: q73.h alone, from
 * C.  Real files come out byte for byte as the q73 program writes them, in
 * one piece and through both kinds of stream at every thread count, and
 * expand back; every result code comes where the header says, with nothing
 * written past an output's room; four threads run jobs at once.
 *
 *   library_api_tests Q73_PROGRAM [threads]
 *
 * Without "threads" every case but the four threads runs; with it, only
 * they do (the ThreadSanitizer build runs that group).
 */
#define _POSIX_C_SOURCE 200809L

#include <dirent.h>
#include <pthread.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "q73.h"

/**** Checks ****/

static const char *current_case;
static int failures;
static pthread_mutex_t check_lock = PTHREAD_MUTEX_INITIALIZER;

static int check(int ok, const char *what, int line) {
    if (!ok) {
        pthread_mutex_lock(&check_lock);
        fprintf(stderr, "api_test.c:%d: %s: failed: %s\n", line, current_case, what);
        ++failures;
        pthread_mutex_unlock(&check_lock);
    }
    return ok;
}

static void check_result(q73_result got, q73_result want, const char *call, int line) {
    char what[512];
    snprintf(what, sizeof what, "%s gave %d (%s), not %d", call, (int)got, q73_result_text(got), (int)want);
    check(got == want, what, line);
}

#define CHECK(condition) check((condition) != 0, #condition, __LINE__)
#define EXPECT(call, want) check_result((call), (want), #call, __LINE__)

/**** Bytes, sources, sinks and progress ****/

typedef struct bytes {
    unsigned char *data;
    size_t size, capacity;
} bytes;

static int same(const bytes *b, const void *data, size_t size) {
    return b->size == size && (size == 0 || memcmp(b->data, data, size) == 0);
}

/* A q73_write_fn that appends to a `bytes`. */
static int append(void *user, const void *data, size_t size) {
    bytes *b = user;
    if (b->size + size > b->capacity) {
        size_t capacity = 2 * (b->size + size) + 64;
        unsigned char *grown = realloc(b->data, capacity);
        if (grown == NULL) return 1;
        b->data = grown;
        b->capacity = capacity;
    }
    if (size > 0) memcpy(b->data + b->size, data, size);
    b->size += size;
    return 0;
}

static uint32_t next_random(uint32_t *state) {
    *state = *state * 1664525u + 1013904223u;
    return *state >> 8;
}

/* A q73_read_fn over bytes in memory, in pieces of random sizes when
 * `random` is nonzero; every read from `fail_at` on fails. */
typedef struct source {
    const unsigned char *data;
    size_t size, at, fail_at;
    uint32_t random;
    int calls;
} source;

static source source_of(const bytes *b, uint32_t random) {
    source s = {b->data, b->size, 0, SIZE_MAX, random, 0};
    return s;
}

static ptrdiff_t read_source(void *user, void *buffer, size_t size) {
    source *s = user;
    size_t n = s->size - s->at;
    ++s->calls;
    if (s->at >= s->fail_at) return -1;
    if (n > s->fail_at - s->at) n = s->fail_at - s->at;
    if (n > size) n = size;
    if (s->random != 0 && n > 1) n = 1 + next_random(&s->random) % n;
    memcpy(buffer, s->data + s->at, n);
    s->at += n;
    return (ptrdiff_t)n;
}

/* A q73_write_fn that takes `left` calls and fails the next ones. */
typedef struct countdown {
    int left, calls;
} countdown;

static int write_countdown(void *user, const void *data, size_t size) {
    countdown *c = user;
    (void)data;
    (void)size;
    ++c->calls;
    return c->left-- <= 0;
}

/* Progress as a job reports it.  `stop` 1 stops the job at the first call,
 * 2 at the first call between its first and its last byte. */
typedef struct watch {
    pthread_t thread;
    uint64_t done, total;
    int calls, wrong, stop, stopped;
} watch;

static int note_progress(void *user, uint64_t done, uint64_t total) {
    watch *w = user;
    if (!pthread_equal(pthread_self(), w->thread) || done < w->done || done > total ||
        (w->calls > 0 && total != w->total))
        w->wrong = 1;
    w->done = done;
    w->total = total;
    ++w->calls;
    if (w->stop == 1 || (w->stop == 2 && done > 0 && done < total)) w->stopped = 1;
    return w->stopped;
}

static q73_options watched(unsigned threads, watch *w, int stop) {
    q73_options o = {0};
    memset(w, 0, sizeof *w);
    w->thread = pthread_self();
    w->stop = stop;
    o.threads = threads;
    o.progress = note_progress;
    o.progress_user = w;
    return o;
}

/* The progress of a job that succeeded on `size` bytes. */
#define CHECK_PROGRESS(w, size) \
    CHECK((w).calls >= 1 && !(w).wrong && (w).done == (size) && (w).total == (size))

/* Pushes `b` in pieces of random sizes (some empty), then finishes. */
static q73_result push_in_pieces(q73_coder *coder, const bytes *b, uint32_t stir, bytes *out) {
    size_t at = 0;
    q73_result r = Q73_OK;
    while (r == Q73_OK && at < b->size) {
        size_t piece = next_random(&stir) % 3 == 0 ? next_random(&stir) % 9 : next_random(&stir) % 150000;
        if (piece > b->size - at) piece = b->size - at;
        r = q73_coder_push(coder, b->data + at, piece, append, out);
        at += piece;
    }
    return r == Q73_OK ? q73_coder_finish(coder, append, out) : r;
}

/* Whether bytes [from, to) still hold the 0xA5 they were filled with. */
static int untouched(const unsigned char *room, size_t from, size_t to) {
    for (; from < to; ++from)
        if (room[from] != 0xA5) return 0;
    return 1;
}

static int read_whole_file(const char *path, bytes *b) {
    FILE *f = fopen(path, "rb");
    unsigned char chunk[65536];
    size_t n;
    if (f == NULL) return 0;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) append(b, chunk, n);
    fclose(f);
    return 1;
}

static bytes compressed(const bytes *original, const char *extension) {
    bytes b = {0, 0, 0};
    b.capacity = q73_compress_bound(original->size);
    b.data = malloc(b.capacity);
    EXPECT(q73_compress(original->data, original->size, extension, b.data, b.capacity, &b.size, NULL),
           Q73_OK);
    return b;
}

static const char *program; /* the Linux q73 program */

/* 600001 bytes in two blocks (an odd length: a raw first byte in the
 * header), mostly zeros, so that its file is small enough to cut anywhere;
 * made once, before any case runs. */
static bytes sparse, sparse_file;

static void make_sparse(void) {
    uint32_t stir = 7;
    size_t i;
    sparse.size = sparse.capacity = 600001;
    sparse.data = calloc(sparse.size, 1);
    for (i = 0; i < sparse.size; i += 997) sparse.data[i] = (unsigned char)next_random(&stir);
    sparse_file = compressed(&sparse, NULL);
}

/* A pulled job: compressing `sparse` or expanding its file. */
static q73_result pull(int compress, source *s, q73_write_fn write, void *user, const q73_options *o) {
    return compress ? q73_compress_stream(read_source, s, sparse.size, NULL, write, user, o)
                    : q73_expand_stream(read_source, s, write, user, o);
}

/**** Every way through ****/

/* At `threads`, `original` compresses to exactly `file` and `file` expands
 * to `original`: in one piece, pulled and pushed, with whole progress. */
static void check_every_way(const bytes *original, const char *extension, const bytes *file, unsigned threads,
                            uint32_t stir) {
    size_t size, capacity = q73_compress_bound(original->size);
    unsigned char *out = malloc(capacity), *back = malloc(original->size + 1);
    bytes got[4] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
    source in = source_of(original, stir), file_in = source_of(file, stir + 1);
    q73_coder *coder;
    watch w[4];
    q73_options o[4];
    int k;
    for (k = 0; k < 4; ++k) o[k] = watched(threads, &w[k], 0);
    EXPECT(q73_compress(original->data, original->size, extension, out, capacity, &size, &o[0]), Q73_OK);
    CHECK(size == file->size && memcmp(out, file->data, size) == 0);
    EXPECT(q73_expand(file->data, file->size, back, original->size, &size, &o[1]), Q73_OK);
    CHECK(size == original->size && (size == 0 || memcmp(back, original->data, size) == 0));
    EXPECT(q73_compress_stream(read_source, &in, original->size, extension, append, &got[0], &o[2]), Q73_OK);
    EXPECT(q73_expand_stream(read_source, &file_in, append, &got[1], &o[3]), Q73_OK);
    EXPECT(q73_coder_compress(original->size, extension, &coder), Q73_OK);
    EXPECT(push_in_pieces(coder, original, stir + 2, &got[2]), Q73_OK);
    q73_coder_free(coder);
    EXPECT(q73_coder_expand(&coder), Q73_OK);
    EXPECT(push_in_pieces(coder, file, stir + 3, &got[3]), Q73_OK);
    CHECK(q73_coder_done(coder) == original->size);
    q73_coder_free(coder);
    for (k = 0; k < 4; ++k) {
        const bytes *want = k % 2 ? original : file;
        CHECK(same(&got[k], want->data, want->size));
        CHECK_PROGRESS(w[k], original->size);
        free(got[k].data);
    }
    free(out);
    free(back);
}

/* The extension that the program stores for a file name: the last three
 * characters after a full stop, but for ".q73". */
static const char *stored_extension(const char *name) {
    size_t n = strlen(name);
    if (n < 4 || name[n - 4] != '.') return NULL;
    if ((name[n - 3] == 'q' || name[n - 3] == 'Q') && strcmp(name + n - 2, "73") == 0) return NULL;
    return name + n - 3;
}

static void real_files_match_the_programs_every_way(void) {
    static const unsigned thread_counts[] = {0, 1, 2, 3, Q73_ALL_PROCESSORS};
    char folder[256], path[1024], command[3072];
    const char *tmp = getenv("TMPDIR");
    DIR *dir = opendir(Q73_CORPUS_DIR);
    struct dirent *e;
    int files = 0, t;
    snprintf(folder, sizeof folder, "%s/q73-api-XXXXXX", tmp != NULL ? tmp : "/tmp");
    if (!CHECK(dir != NULL) || !CHECK(mkdtemp(folder) != NULL)) return;
    while ((e = readdir(dir)) != NULL) {
        bytes original = {0, 0, 0}, file = {0, 0, 0};
        struct stat st;
        FILE *copy;
        snprintf(path, sizeof path, "%s/%s", Q73_CORPUS_DIR, e->d_name);
        if (e->d_name[0] == '.' || stat(path, &st) != 0 || !S_ISREG(st.st_mode)) continue;
        CHECK(read_whole_file(path, &original));
        /* The program compresses a copy of the same name, whose extension
         * it stores. */
        snprintf(path, sizeof path, "%s/%s", folder, e->d_name);
        if (!CHECK((copy = fopen(path, "wb")) != NULL)) break;
        CHECK(fwrite(original.data, 1, original.size, copy) == original.size);
        fclose(copy);
        snprintf(command, sizeof command, "'%s' -c '%s' > '%s/out' 2>/dev/null", program, path, folder);
        CHECK(system(command) == 0);
        remove(path);
        snprintf(path, sizeof path, "%s/out", folder);
        CHECK(read_whole_file(path, &file) && file.size > 0);
        remove(path);
        for (t = 0; t < 5; ++t)
            check_every_way(&original, stored_extension(e->d_name), &file, thread_counts[t],
                            (uint32_t)(files * 10 + t));
        ++files;
        free(original.data);
        free(file.data);
    }
    closedir(dir);
    rmdir(folder);
    CHECK(files >= 3);
}

/**** The format's bytes ****/

/* Bytes from the format: "", "ab" and "hello" compressed with "txt". */
#define BYTES(literal) (const unsigned char *)literal, sizeof literal - 1
static const struct known {
    const char *text;
    const unsigned char *file;
    size_t file_size, header_size;
} kKnown[] = {
    {"", BYTES("\x81txt\0\0\0\0"), 8},
    {"ab", BYTES("\x81txt\x02\0\0\0\x07\0\0\0\x40\0\x10\xC4\x02\x31\0\x01\0\0\0\x80"), 8},
    {"hello",
     BYTES("\x83htxt\x05\0\0\0\x0A\0\0\0\x20\0\x14\xC4\x01\xB0\x81\xEC\x40\0\x01\0\0\0\xC0\x01\0\0\0\xC0"),
     9}};

static void small_inputs_give_the_formats_bytes(void) {
    unsigned char none[8];
    size_t k, i, size;
    q73_header h;
    for (k = 0; k < 3; ++k) {
        const struct known *c = &kKnown[k];
        bytes text = {(unsigned char *)c->text, strlen(c->text), 0}, file = compressed(&text, "txt");
        bytes padded = {0, 0, 0}, back = {0, 0, 0};
        q73_coder *coder;
        CHECK(same(&file, c->file, c->file_size));
        EXPECT(q73_read_header(c->file, c->file_size, &h), Q73_OK);
        CHECK(h.original_size == text.size && strcmp(h.extension, "txt") == 0 &&
              h.header_size == c->header_size);
        check_every_way(&text, "txt", &file, 2, 1);
        /* Pushed a byte at a time, the header is known once whole; bytes
         * after the last block are ignored, pushed or in one piece. */
        append(&padded, c->file, c->file_size);
        append(&padded, "trailing", 8);
        EXPECT(q73_coder_expand(&coder), Q73_OK);
        for (i = 0; i < padded.size; ++i) {
            EXPECT(q73_coder_header(coder, &h), i < c->header_size ? Q73_SHORT_OUTPUT : Q73_OK);
            EXPECT(q73_coder_push(coder, padded.data + i, 1, append, &back), Q73_OK);
        }
        EXPECT(q73_coder_finish(coder, append, &back), Q73_OK);
        CHECK(same(&back, text.data, text.size) && h.original_size == text.size);
        q73_coder_free(coder);
        EXPECT(q73_expand(padded.data, padded.size, back.data, text.size, &size, NULL), Q73_OK);
        CHECK(size == text.size);
        free(file.data);
        free(padded.data);
        free(back.data);
    }
    /* No extension: the flag byte and the length alone, from no buffer. */
    EXPECT(q73_compress(NULL, 0, NULL, none, sizeof none, &size, NULL), Q73_OK);
    CHECK(size == 5 && memcmp(none, "\x80\0\0\0\0", 5) == 0);
    EXPECT(q73_read_header(none, 5, &h), Q73_OK);
    CHECK(h.original_size == 0 && h.extension[0] == 0 && h.header_size == 5);
    EXPECT(q73_expand(none, 5, NULL, 0, &size, NULL), Q73_OK);
}

static void headers_are_read_and_bad_ones_refused(void) {
    static const struct {
        unsigned char b[9];
        size_t size;
    } bad[] = {{{0x01, 't', 'x', 't', 5, 0, 0, 0}, 8}, /* no format mark */
               {{0x80, 0, 0, 0, 0x80}, 5},             /* 2^31 bytes */
               {{0x80, 1, 0, 0, 0}, 5},                /* an odd length, even flags */
               {{0x82, 'a', 2, 0, 0, 0}, 6},           /* an even length, odd flags */
               {{0x81, 'a', '/', 'b', 0, 0, 0, 0}, 8},
               {{0x81, '\\', 'a', 'b', 0, 0, 0, 0}, 8},
               {{0x81, 'a', 'b', ':', 0, 0, 0, 0}, 8},
               {{0x81, 'a', '\n', 'b', 0, 0, 0, 0}, 8}};
    static const unsigned char short_extension[] = {0x81, 'c', 0, 0, 4, 0, 0, 0};
    q73_header h;
    size_t k, cut;
    for (k = 0; k < sizeof bad / sizeof bad[0]; ++k) {
        memset(&h, 0xA5, sizeof h);
        EXPECT(q73_read_header(bad[k].b, bad[k].size, &h), Q73_BAD_DATA);
        CHECK(h.original_size == 0 && h.header_size == 0 && h.extension[0] == 0 && h.extension[3] == 0);
    }
    for (k = 0; k < 3; ++k)
        for (cut = 0; cut < kKnown[k].header_size; ++cut)
            EXPECT(q73_read_header(kKnown[k].file, cut, &h), Q73_BAD_DATA);
    EXPECT(q73_read_header(NULL, 0, &h), Q73_BAD_DATA);
    EXPECT(q73_read_header(short_extension, 8, &h), Q73_OK);
    CHECK(strcmp(h.extension, "c") == 0 && h.original_size == 4 && h.header_size == 8);
    EXPECT(q73_read_header(kKnown[2].file, 9, NULL), Q73_BAD_ARGUMENT);
    EXPECT(q73_read_header(NULL, 9, &h), Q73_BAD_ARGUMENT);
}

static void the_version_and_every_result_have_their_text(void) {
    char version[32];
    int i, j;
    snprintf(version, sizeof version, "%d.%d.%d", Q73_VERSION_MAJOR, Q73_VERSION_MINOR, Q73_VERSION_PATCH);
    CHECK(strcmp(q73_version(), version) == 0 && strcmp(Q73_VERSION_STRING, version) == 0);
    for (i = 0; i <= Q73_BAD_ARGUMENT; ++i) {
        CHECK(q73_result_text((q73_result)i) != NULL && q73_result_text((q73_result)i)[0] != 0);
        for (j = 0; j < i; ++j)
            CHECK(strcmp(q73_result_text((q73_result)i), q73_result_text((q73_result)j)) != 0);
    }
    CHECK(q73_result_text((q73_result)99) != NULL &&
          strcmp(q73_result_text((q73_result)99), q73_result_text(Q73_OK)) != 0);
}

/**** Every result where it applies ****/

static void bad_arguments_are_refused(void) {
    static const char *const extensions[] = {"tx", "text", "", "a/b", "a\tb"};
    unsigned char out[64];
    bytes in = {(unsigned char *)"abc", 3, 0}, sink = {0, 0, 0};
    source s = source_of(&in, 0);
    q73_coder *coder = (q73_coder *)out;
    size_t k, size;
    for (k = 0; k < sizeof extensions / sizeof extensions[0]; ++k) {
        size = 77;
        EXPECT(q73_compress(in.data, 3, extensions[k], out, sizeof out, &size, NULL), Q73_BAD_ARGUMENT);
        CHECK(size == 0);
        EXPECT(q73_compress_stream(read_source, &s, 3, extensions[k], append, &sink, NULL), Q73_BAD_ARGUMENT);
        EXPECT(q73_coder_compress(3, extensions[k], &coder), Q73_BAD_ARGUMENT);
        CHECK(coder == NULL);
    }
    EXPECT(q73_compress(NULL, 3, NULL, out, sizeof out, &size, NULL), Q73_BAD_ARGUMENT);
    EXPECT(q73_compress(in.data, 3, NULL, NULL, 64, &size, NULL), Q73_BAD_ARGUMENT);
    EXPECT(q73_compress(in.data, 3, NULL, out, sizeof out, NULL, NULL), Q73_BAD_ARGUMENT);
    EXPECT(q73_expand(NULL, 9, out, sizeof out, &size, NULL), Q73_BAD_ARGUMENT);
    EXPECT(q73_expand(kKnown[2].file, kKnown[2].file_size, NULL, 5, &size, NULL), Q73_BAD_ARGUMENT);
    EXPECT(q73_expand(kKnown[2].file, kKnown[2].file_size, out, sizeof out, NULL, NULL), Q73_BAD_ARGUMENT);
    EXPECT(q73_expand(NULL, 0, out, sizeof out, &size, NULL), Q73_BAD_DATA);
    EXPECT(q73_compress_stream(NULL, &s, 3, NULL, append, &sink, NULL), Q73_BAD_ARGUMENT);
    EXPECT(q73_compress_stream(read_source, &s, 3, NULL, NULL, &sink, NULL), Q73_BAD_ARGUMENT);
    EXPECT(q73_expand_stream(NULL, &s, append, &sink, NULL), Q73_BAD_ARGUMENT);
    EXPECT(q73_expand_stream(read_source, &s, NULL, &sink, NULL), Q73_BAD_ARGUMENT);
    EXPECT(q73_coder_expand(NULL), Q73_BAD_ARGUMENT);
    /* A bad push ends the job. */
    EXPECT(q73_coder_compress(3, NULL, &coder), Q73_OK);
    EXPECT(q73_coder_push(coder, NULL, 2, append, &sink), Q73_BAD_ARGUMENT);
    EXPECT(q73_coder_push(coder, in.data, 3, append, &sink), Q73_BAD_ARGUMENT);
    EXPECT(q73_coder_finish(coder, append, &sink), Q73_BAD_ARGUMENT);
    q73_coder_free(coder);
    q73_coder_free(NULL);
    free(sink.data);
}

static void too_large_inputs_are_refused_before_any_read(void) {
    static const uint64_t sizes[] = {(uint64_t)1 << 31, (uint64_t)1 << 40, UINT64_MAX};
    bytes empty = {0, 0, 0};
    source s = source_of(&empty, 0);
    countdown c = {0, 0};
    q73_coder *coder = (q73_coder *)&c;
    size_t k;
    for (k = 0; k < 3; ++k) {
        EXPECT(q73_compress_stream(read_source, &s, sizes[k], "txt", write_countdown, &c, NULL),
               Q73_TOO_LARGE);
        EXPECT(q73_coder_compress(sizes[k], NULL, &coder), Q73_TOO_LARGE);
        CHECK(coder == NULL);
    }
    CHECK(s.calls == 0 && c.calls == 0);
    CHECK(q73_compress_bound((size_t)0x80000000u) == 0);
    CHECK(q73_compress_bound(0) >= kKnown[0].file_size && q73_compress_bound(5) >= kKnown[2].file_size);
    if (SIZE_MAX > 0xFFFFFFFFu) CHECK(q73_compress_bound((size_t)0x7FFFFFFFu) > 0x7FFFFFFFu);
}

static void short_outputs_write_nothing_past_their_room(void) {
    size_t rooms[] = {0, 5, 6, 7, 100, sparse_file.size / 2, sparse_file.size - 1}, k, t, size;
    unsigned char *room = malloc(sparse.size + 64);
    for (t = 0; t < 2; ++t) {
        q73_options o = {0};
        o.threads = t == 0 ? 0 : 2;
        for (k = 0; k < sizeof rooms / sizeof rooms[0]; ++k) {
            memset(room, 0xA5, sparse_file.size + 64);
            size = 1;
            EXPECT(q73_compress(sparse.data, sparse.size, NULL, room, rooms[k], &size, &o), Q73_SHORT_OUTPUT);
            CHECK(untouched(room, rooms[k], sparse_file.size + 64) && size == 0);
        }
        memset(room, 0xA5, sparse_file.size + 64);
        EXPECT(q73_compress(sparse.data, sparse.size, NULL, room, sparse_file.size, &size, &o), Q73_OK);
        CHECK(size == sparse_file.size && untouched(room, size, size + 64));
        /* An expansion writes nothing at all when the original does not fit. */
        memset(room, 0xA5, sparse.size + 64);
        EXPECT(q73_expand(sparse_file.data, sparse_file.size, room, sparse.size - 1, &size, &o),
               Q73_SHORT_OUTPUT);
        CHECK(untouched(room, 0, sparse.size + 64) && size == 0);
    }
    for (k = 0; k < kKnown[2].file_size; ++k) {
        memset(room, 0xA5, 64);
        EXPECT(q73_compress("hello", 5, "txt", room, k, &size, NULL), Q73_SHORT_OUTPUT);
        CHECK(untouched(room, k, 64) && size == 0);
    }
    free(room);
}

/* Expanding `data` in one piece, pulled and pushed ends each time with `want`. */
static void expand_three_ways(const bytes *data, unsigned threads, q73_result want, int line) {
    unsigned char *back = malloc(sparse.size);
    bytes pulled = {0, 0, 0}, pushed = {0, 0, 0};
    source s = source_of(data, (uint32_t)data->size + 1);
    q73_options o = {0};
    q73_coder *coder;
    size_t size = 1;
    o.threads = threads;
    check_result(q73_expand(data->data, data->size, back, sparse.size, &size, &o), want, "q73_expand", line);
    check(size == 0, "size == 0", line);
    check_result(q73_expand_stream(read_source, &s, append, &pulled, &o), want, "q73_expand_stream", line);
    EXPECT(q73_coder_expand(&coder), Q73_OK);
    check_result(push_in_pieces(coder, data, 3, &pushed), want, "pushed", line);
    q73_coder_free(coder);
    free(back);
    free(pulled.data);
    free(pushed.data);
}

static void cut_and_damaged_streams_are_bad_data(void) {
    bytes damaged = {0, 0, 0};
    size_t cut, k, at, record[4], records = 0;
    for (cut = 0; cut < sparse_file.size; ++cut) {
        bytes part = sparse_file;
        part.size = cut;
        expand_three_ways(&part, cut % 2 ? 2 : 0, Q73_BAD_DATA, __LINE__);
    }
    /* A record is a 4-byte little-endian length and its bytes, after the
     * 6-byte header: 20 in the first block, 18 in the second.  The first
     * two, the second block's first and the last each get a length past
     * the file's end, and one of 2^31 or more. */
    for (at = 6; at + 4 <= sparse_file.size; ++records) {
        const unsigned char *p = sparse_file.data + at;
        if (records <= 1 || records == 20 || records == 37)
            record[records <= 1 ? records : records == 20 ? 2 : 3] = at;
        at += 4 + (p[0] | (size_t)p[1] << 8 | (size_t)p[2] << 16 | (size_t)p[3] << 24);
    }
    CHECK(records == 38 && at == sparse_file.size);
    for (k = 0; k < 9 && records == 38; ++k) {
        damaged.size = 0;
        append(&damaged, sparse_file.data, sparse_file.size);
        if (k < 8)
            damaged.data[record[k / 2] + 3] ^= k % 2 ? 0x80 : 0x01;
        else
            damaged.data[0] ^= 0x80; /* the flag byte without its mark */
        expand_three_ways(&damaged, k % 3 ? 2 : 0, Q73_BAD_DATA, __LINE__);
    }
    free(damaged.data);
}

static void failed_reads_and_writes_end_the_job(void) {
    bytes sink = {0, 0, 0};
    const bytes *input[2] = {&sparse_file, &sparse};
    q73_coder *coder;
    countdown c;
    int t, compress, k;
    for (t = 0; t < 2; ++t)
        for (compress = 0; compress < 2; ++compress) {
            const bytes *in = input[compress];
            q73_options o = {0};
            source s;
            int last;
            o.threads = t == 0 ? 0 : 2;
            /* Reads failing at the start, in the middle and at the last byte;
             * for a compression, an input that ends there too. */
            for (k = 0; k < 3; ++k) {
                s = source_of(in, 5);
                s.fail_at = k * (in->size - 1) / 2;
                EXPECT(pull(compress, &s, append, &sink, &o), Q73_READ_FAILED);
                s.size = s.fail_at;
                s.fail_at = SIZE_MAX;
                s.at = 0;
                if (compress) EXPECT(pull(compress, &s, append, &sink, &o), Q73_READ_FAILED);
            }
            /* Writes failing at the first call and at the last. */
            c.left = 1 << 30;
            c.calls = 0;
            s = source_of(in, 5);
            EXPECT(pull(compress, &s, write_countdown, &c, &o), Q73_OK);
            last = c.calls - 1;
            for (k = 0; k < 2; ++k) {
                c.left = k == 0 ? 0 : last;
                c.calls = 0;
                s = source_of(in, 5);
                EXPECT(pull(compress, &s, write_countdown, &c, &o), Q73_WRITE_FAILED);
            }
            /* Nothing is read past the size given. */
            {
                bytes shorter = {sparse.data, sparse.size - 10, 0};
                bytes want = compressed(&shorter, NULL);
                s = source_of(&sparse, 9);
                sink.size = 0;
                EXPECT(q73_compress_stream(read_source, &s, shorter.size, NULL, append, &sink, &o), Q73_OK);
                CHECK(s.at == shorter.size && same(&sink, want.data, want.size));
                free(want.data);
            }
        }
    /* Pushed: a failed write, and a compressor given more or fewer bytes
     * than its size; each ends the job for every later call. */
    c.left = 0;
    EXPECT(q73_coder_expand(&coder), Q73_OK);
    EXPECT(q73_coder_push(coder, sparse_file.data, sparse_file.size, write_countdown, &c), Q73_WRITE_FAILED);
    EXPECT(q73_coder_finish(coder, append, &sink), Q73_WRITE_FAILED);
    q73_coder_free(coder);
    EXPECT(q73_coder_compress(5, NULL, &coder), Q73_OK);
    EXPECT(q73_coder_push(coder, "abcdef", 6, append, &sink), Q73_READ_FAILED);
    EXPECT(q73_coder_push(coder, "a", 1, append, &sink), Q73_READ_FAILED);
    EXPECT(q73_coder_finish(coder, append, &sink), Q73_READ_FAILED);
    q73_coder_free(coder);
    EXPECT(q73_coder_compress(5, NULL, &coder), Q73_OK);
    EXPECT(q73_coder_push(coder, "abcd", 4, append, &sink), Q73_OK);
    EXPECT(q73_coder_finish(coder, append, &sink), Q73_READ_FAILED);
    q73_coder_free(coder);
    free(sink.data);
}

static void progress_can_stop_every_job(void) {
    unsigned char *room = malloc(sparse.size);
    bytes sink = {0, 0, 0};
    int t, stop, k;
    for (t = 0; t < 2; ++t)
        for (stop = 1; stop <= 2; ++stop)
            for (k = 0; k < 4; ++k) {
                watch w;
                q73_options o = watched(t == 0 ? 0 : 2, &w, stop);
                source s = source_of(k == 2 ? &sparse : &sparse_file, 3);
                size_t size = 1;
                q73_result r =
                    k == 0   ? q73_compress(sparse.data, sparse.size, NULL, room, sparse_file.size, &size, &o)
                    : k == 1 ? q73_expand(sparse_file.data, sparse_file.size, room, sparse.size, &size, &o)
                             : pull(k == 2, &s, append, &sink, &o);
                EXPECT(r, Q73_STOPPED);
                CHECK(w.stopped && !w.wrong && (k >= 2 || size == 0));
            }
    free(room);
    free(sink.data);
}

/**** Four threads at once ****/

typedef struct job_inputs {
    const bytes *original, *file;
    int id;
} job_inputs;

/* Every way through, twice, for each of the two inputs, at 0 and 2 workers. */
static void *run_jobs(void *argument) {
    const job_inputs *in = argument;
    int round, k;
    for (round = 0; round < 2; ++round)
        for (k = 0; k < 2; ++k)
            check_every_way(&in->original[k], NULL, &in->file[k], (in->id + round + k) % 2 ? 2 : 0,
                            (uint32_t)(in->id * 8 + round));
    return NULL;
}

static void four_threads_run_jobs_at_once(void) {
    bytes original[2] = {{0, 0, 0}, {0, 0, 0}}, file[2];
    job_inputs in[4];
    pthread_t thread[4];
    DIR *dir = opendir(Q73_CORPUS_DIR);
    struct dirent *e;
    char path[1024];
    int k;
    /* Real files, in three blocks or more, and the sparse bytes. */
    while (dir != NULL && (e = readdir(dir)) != NULL && original[0].size < 1200000) {
        snprintf(path, sizeof path, "%s/%s", Q73_CORPUS_DIR, e->d_name);
        if (e->d_name[0] != '.') read_whole_file(path, &original[0]);
    }
    if (dir != NULL) closedir(dir);
    if (!CHECK(original[0].size > 1048576)) return;
    original[1] = sparse;
    file[0] = compressed(&original[0], NULL);
    file[1] = sparse_file;
    for (k = 0; k < 4; ++k) {
        in[k].original = original;
        in[k].file = file;
        in[k].id = k;
        CHECK(pthread_create(&thread[k], NULL, run_jobs, &in[k]) == 0);
    }
    for (k = 0; k < 4; ++k) pthread_join(thread[k], NULL);
    free(original[0].data);
    free(file[0].data);
}

/**** The cases ****/

#define CASE(group, run) \
    { group, #run, run }
static const struct test_case {
    const char *group, *name;
    void (*run)(void);
} kCases[] = {CASE("basic", small_inputs_give_the_formats_bytes),
              CASE("basic", headers_are_read_and_bad_ones_refused),
              CASE("basic", the_version_and_every_result_have_their_text),
              CASE("basic", real_files_match_the_programs_every_way),
              CASE("basic", bad_arguments_are_refused),
              CASE("basic", too_large_inputs_are_refused_before_any_read),
              CASE("basic", short_outputs_write_nothing_past_their_room),
              CASE("basic", cut_and_damaged_streams_are_bad_data),
              CASE("basic", failed_reads_and_writes_end_the_job),
              CASE("basic", progress_can_stop_every_job),
              CASE("threads", four_threads_run_jobs_at_once)};

int main(int argc, char **argv) {
    const char *group = argc > 2 ? argv[2] : "basic";
    size_t k;
    int ran = 0;
    if (argc < 2) {
        fprintf(stderr, "usage: %s Q73_PROGRAM [threads]\n", argv[0]);
        return 2;
    }
    program = argv[1];
    current_case = "making the sparse input";
    make_sparse();
    for (k = 0; k < sizeof kCases / sizeof kCases[0]; ++k) {
        int before = failures;
        if (strcmp(kCases[k].group, group) != 0) continue;
        current_case = kCases[k].name;
        kCases[k].run();
        printf("%s: %s\n", failures == before ? "ok" : "FAILED", kCases[k].name);
        ++ran;
    }
    printf("%d cases, %d failed checks\n", ran, failures);
    free(sparse.data);
    free(sparse_file.data);
    return ran > 0 && failures == 0 ? 0 : 1;
}
