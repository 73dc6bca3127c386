/*
 * q73file - compresses a file into a .Q73 file, or expands one, through the
 * Q73 library's streams: the library pulls the input through a read function
 * and hands the output to a write function, here plain stdio files, in
 * memory that stays the same whatever the file's size.
 *
 *   q73file c FILE OUTPUT   compress FILE into OUTPUT (a .Q73 file)
 *   q73file x FILE OUTPUT   expand the .Q73 file FILE into OUTPUT
 *
 * The bytes are those the q73 programs write.  An existing OUTPUT is never
 * replaced, and after a failure no OUTPUT is left behind.  Exit status: 0
 * done, 1 failed, 2 wrong arguments.
 *
 * Build: cc q73file.c $(pkg-config --cflags --libs q73) -o q73file
 */
#include <q73.h>

#include <stdio.h>
#include <string.h>

static ptrdiff_t read_file(void *user, void *buffer, size_t size) {
    FILE *file = user;
    size_t got = fread(buffer, 1, size, file);
    return got == 0 && ferror(file) ? -1 : (ptrdiff_t)got;
}

static int write_file(void *user, const void *data, size_t size) {
    return fwrite(data, 1, size, (FILE *)user) == size ? 0 : 1;
}

/* One line on standard error, rewritten as each percent is done. */
static int show_progress(void *user, uint64_t done, uint64_t total) {
    int *shown = user;
    int percent = total == 0 ? 100 : (int)(done * 100 / total);
    if (percent != *shown) {
        fprintf(stderr, "\r%3d%%  %llu of %llu bytes", percent, (unsigned long long)done,
                (unsigned long long)total);
        *shown = percent;
    }
    return 0; /* a nonzero value would stop the job with Q73_STOPPED */
}

/* The extension the q73 programs store for a name: the three characters
 * after a full stop that ends it, unless they are "q73" (any case) or hold
 * a character that no stored extension may hold.  NULL for none. */
static const char *stored_extension(const char *name) {
    size_t length = strlen(name);
    if (length < 4 || name[length - 4] != '.') return NULL;
    const char *extension = name + length - 3;
    int is_q73 = 1;
    for (int i = 0; i < 3; ++i) {
        unsigned char c = (unsigned char)extension[i];
        if (c < 32 || c == 127 || c == '/' || c == '\\' || c == ':') return NULL;
        if (c != "q73"[i] && c != "Q73"[i]) is_q73 = 0;
    }
    return is_q73 ? NULL : extension;
}

int main(int argc, char **argv) {
    if (argc != 4 || (strcmp(argv[1], "c") != 0 && strcmp(argv[1], "x") != 0)) {
        fprintf(stderr,
                "usage: q73file c FILE OUTPUT   compress FILE into the .Q73 file OUTPUT\n"
                "       q73file x FILE OUTPUT   expand the .Q73 file FILE into OUTPUT\n"
                "(Q73 library %s)\n",
                q73_version());
        return 2;
    }
    int compress = argv[1][0] == 'c';
    const char *input_name = argv[2], *output_name = argv[3];

    FILE *input = fopen(input_name, "rb");
    if (input == NULL) {
        fprintf(stderr, "q73file: cannot open %s\n", input_name);
        return 1;
    }
    /* A compression is told the input's size before it starts. */
    long size = 0;
    if (compress && (fseek(input, 0, SEEK_END) != 0 || (size = ftell(input)) < 0 ||
                     fseek(input, 0, SEEK_SET) != 0)) {
        fprintf(stderr, "q73file: cannot tell the size of %s\n", input_name);
        fclose(input);
        return 1;
    }
    FILE *output = fopen(output_name, "rb");
    if (output != NULL) {
        fprintf(stderr, "q73file: %s exists; it is not replaced\n", output_name);
        fclose(output);
        fclose(input);
        return 1;
    }
    output = fopen(output_name, "wb");
    if (output == NULL) {
        fprintf(stderr, "q73file: cannot create %s\n", output_name);
        fclose(input);
        return 1;
    }

    int shown = -1;
    q73_options options = {0};
    options.threads = Q73_ALL_PROCESSORS;
    options.progress = show_progress;
    options.progress_user = &shown;
    q73_result result =
        compress ? q73_compress_stream(read_file, input, (uint64_t)size,
                                       stored_extension(input_name), write_file, output, &options)
                 : q73_expand_stream(read_file, input, write_file, output, &options);
    if (shown >= 0) fputc('\n', stderr);

    /* Buffered bytes reach the file only here: a failure here is a failed
     * write as well. */
    if (fclose(output) != 0 && result == Q73_OK) result = Q73_WRITE_FAILED;
    fclose(input);
    if (result != Q73_OK) {
        fprintf(stderr, "q73file: %s: %s\n", input_name, q73_result_text(result));
        remove(output_name);
        return 1;
    }
    return 0;
}
