/*
 * The memory a long stream takes: MEGABYTES of data made on the fly are
 * compressed through q73_compress_stream into an unnamed temporary file and
 * expanded back through q73_expand_stream, each byte checked against the
 * same generator, with THREADS workers.  No buffer of the data's size exists
 * anywhere, so the process's peak resident size (getrusage's ru_maxrss) is
 * the library's memory plus this small program's.
 *
 *   stream_memory MEGABYTES THREADS
 *
 * Prints one line: threads, megabytes, the peak resident size in KiB before
 * the jobs, after compressing and after expanding, the compressed size in
 * bytes and the seconds each job took.  Exits 1 when a job fails or the
 * bytes come back different.
 */
#define _POSIX_C_SOURCE 200809L

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <time.h>

#include "q73.h"

/* The data, made 64 KiB at a time from the segment's number alone: English-
 * like words for most segments, every fourth one random bytes (which do not
 * compress, so that the coded blocks are as large as they get). */
#define SEGMENT 65536

typedef struct generator {
    uint64_t left;          /* bytes still to make */
    uint32_t segment;       /* the number of the segment in `bytes` */
    size_t at;              /* bytes of it already handed out */
    unsigned char bytes[SEGMENT];
} generator;

static uint32_t next_random(uint32_t *state) {
    *state = *state * 1664525u + 1013904223u;
    return *state >> 8;
}

static void make_segment(generator *g) {
    static const char *const words[] = {"the",    "stream", "of",     "blocks", "and",
                                        "a",      "memory", "that",   "stays",  "fixed",
                                        "while",  "bytes",  "come",   "in",     "order",
                                        "level",  "record", "length", "worker", "file"};
    uint32_t state = g->segment * 2654435761u + 1;
    size_t i = 0;
    if (g->segment % 4 == 3) {
        for (; i < SEGMENT; ++i) g->bytes[i] = (unsigned char)next_random(&state);
    } else {
        while (i < SEGMENT) {
            const char *w = words[next_random(&state) % 20];
            while (*w != 0 && i < SEGMENT) g->bytes[i++] = (unsigned char)*w++;
            if (i < SEGMENT) g->bytes[i++] = next_random(&state) % 12 == 0 ? '\n' : ' ';
        }
    }
    g->at = 0;
}

static void start(generator *g, uint64_t size) {
    g->left = size;
    g->segment = 0;
    make_segment(g);
}

/* The next `*size` bytes at most (fewer at a segment's end), or 0 at the end. */
static const unsigned char *take(generator *g, size_t *size) {
    const unsigned char *p;
    if (g->at == SEGMENT) {
        ++g->segment;
        make_segment(g);
    }
    if (*size > SEGMENT - g->at) *size = SEGMENT - g->at;
    if (*size > g->left) *size = (size_t)g->left;
    p = g->bytes + g->at;
    g->at += *size;
    g->left -= *size;
    return p;
}

static ptrdiff_t read_generated(void *user, void *buffer, size_t size) {
    const unsigned char *p = take(user, &size);
    memcpy(buffer, p, size);
    return (ptrdiff_t)size;
}

/* Takes the expanded bytes and compares them with the generator's. */
static int compare_generated(void *user, const void *data, size_t size) {
    const unsigned char *d = data;
    while (size > 0) {
        size_t n = size;
        const unsigned char *p = take(user, &n);
        if (n == 0 || memcmp(p, d, n) != 0) return 1;
        d += n;
        size -= n;
    }
    return 0;
}

static ptrdiff_t read_file(void *user, void *buffer, size_t size) {
    size_t n = fread(buffer, 1, size, user);
    return n == 0 && ferror((FILE *)user) ? -1 : (ptrdiff_t)n;
}

static int write_file(void *user, const void *data, size_t size) {
    return fwrite(data, 1, size, user) != size;
}

static long peak_kib(void) {
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

static double seconds(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

int main(int argc, char **argv) {
    static generator g;
    q73_options options = {0};
    uint64_t size;
    long before, after_compress, compressed;
    double t0, t1, t2;
    q73_result r;
    FILE *file = tmpfile();
    if (argc != 3 || file == NULL) {
        fprintf(stderr, "usage: %s MEGABYTES THREADS\n", argv[0]);
        return 2;
    }
    size = (uint64_t)strtoul(argv[1], NULL, 10) * 1000000u;
    options.threads = (unsigned)strtoul(argv[2], NULL, 10);
    before = peak_kib();

    t0 = seconds();
    start(&g, size);
    r = q73_compress_stream(read_generated, &g, size, "dat", write_file, file, &options);
    if (r != Q73_OK || fflush(file) != 0) {
        fprintf(stderr, "compressing: %s\n", q73_result_text(r));
        return 1;
    }
    after_compress = peak_kib();
    compressed = ftell(file);
    t1 = seconds();

    rewind(file);
    start(&g, size);
    r = q73_expand_stream(read_file, file, compare_generated, &g, &options);
    t2 = seconds();
    if (r != Q73_OK || g.left != 0) {
        fprintf(stderr, "expanding: %s\n", r != Q73_OK ? q73_result_text(r) : "bytes missing");
        return 1;
    }
    printf("%u %s %ld %ld %ld %ld %.2f %.2f\n", options.threads, argv[1], before, after_compress,
           peak_kib(), compressed, t1 - t0, t2 - t1);
    return 0;
}
