#include "format/container.h"

#include <cstring>
#include <string>

#include "codec/stream_records.h"
#include "platform/files.h"
#include "platform/interrupts.h"
#include "platform/same_file.h"
#include "platform/win32.h"

const char* const kMsgCannotFindIn = "ERROR: Can not find in file";
const char* const kMsgCannotOpenOut = "ERROR: Can't open outfile";
const char* const kMsgCannotOpenIn = "ERROR: Can't open In file";
const char* const kMsgNotCompressed = "ERROR: File is not compressed with this version of Q73";
const char* const kMsgNameTooLong = "ERROR: File name is too long (at most 1023 characters)";
const char* const kMsgTooLarge = "ERROR: File is too large (2 GB or more) to compress";
const char* const kMsgDamaged = "ERROR: Compressed file is damaged or truncated";
const char* const kMsgSameName =
    "ERROR: Compressed file is damaged (it would be restored over itself)";
const char* const kMsgOutIsIn = "ERROR: Can't open outfile (it is the in file itself)";
const char* const kMsgStreamIsIn = "ERROR: Standard output is the in file itself";
const char* const kMsgWriteFailed = "ERROR: Can't write outfile (is the disk full?)";
const char* const kMsgReadFailed = "ERROR: Can't read in file";
const char* const kMsgNoMemory = "ERROR: Not enough memory";
const char* const kMsgCannotReplaceOut = "ERROR: Can't move outfile to its name";

char output_name[kTemporaryNameCapacity];
HFILE output_stream = HFILE_ERROR;
static int64_t output_start;

const char* error_subject = nullptr;
void (*error_sink)(const char* text) = nullptr;

void report_error(const char* text) {
    std::string named = text;
    if (error_subject != nullptr) named = named + " (" + error_subject + ")";
    if (error_sink != nullptr) {
        error_sink(named.c_str());
        return;
    }
    MessageBoxA(nullptr, named.c_str(), "", MB_OK);
}

static bool write_bytes(const void* data, UINT count) {
    return _lwrite(output_file, static_cast<LPCSTR>(data), count) == count;
}

static bool read_bytes(void* data, UINT count) {
    return _lread(input_file, data, count) == count;
}

// The final name of the output being written; output_name is the
// temporary name it is written under until commit_output.
static char final_name[kNameCapacity];

// How many temporary names are tried: one is enough unless a file of a
// program that was killed outright is left over under that name.
constexpr int kTemporaryNameAttempts = 16;

// Creates output_file under a temporary name in the folder of `name`, new
// and for its owner alone; it takes `name` at commit_output.
static bool create_output(const char* name) {
    if (output_stream != HFILE_ERROR) {
        output_file = output_stream;
        output_name[0] = '\0';
        output_start = written_mark(output_file);
        return true;
    }
    if (!may_replace_file(name)) return false;
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        make_temporary_name(name, GetCurrentProcessId(), static_cast<uint8_t>(attempt),
                            output_name);
        // Guarded before it exists, so that no moment passes in which an
        // interrupt would leave the file behind.
        if (!guard_against_interrupts(output_name)) break;
        output_file = create_new_file(output_name);
        if (output_file != HFILE_ERROR) {
            std::strcpy(final_name, name);
            output_start = written_mark(output_file);
            return true;
        }
        release_interrupt_guard();
    }
    output_name[0] = '\0';
    return false;
}

int64_t output_length() {
    return written_mark(output_file) - output_start;
}

// With an output stream, the next job writes on where this one stopped.
static bool let_go_of_stream() {
    if (output_file == HFILE_ERROR || output_file != output_stream) return false;
    output_file = HFILE_ERROR;
    return true;
}

void discard_output_file() {
    if (output_file == HFILE_ERROR || let_go_of_stream()) return;
    _lclose(output_file);
    output_file = HFILE_ERROR;
    remove_file(output_name);
    release_interrupt_guard();
}

bool commit_output() {
    if (output_file == HFILE_ERROR) return false;
    if (let_go_of_stream()) return true;
    // The time and the permission bits are what a user expects to keep, but
    // a folder that cannot take them (a file system without modes) still
    // gets the whole file; the temporary file was created for its owner
    // alone, so a failed copy makes nothing readable by others.
    copy_file_metadata(input_file, output_file);
    bool closed = true;
#ifdef _WIN32
    // Created to go when it is closed; from here on it stays.
    closed = keep_file_on_close(output_file);
#endif
    closed = _lclose(output_file) == 0 && closed;
    output_file = HFILE_ERROR;
    if (!closed || !replace_file(output_name, final_name)) {
        remove_file(output_name);
        release_interrupt_guard();
        report_error(closed ? kMsgCannotReplaceOut : kMsgWriteFailed);
        return false;
    }
    release_interrupt_guard();
    return true;
}

void close_input_file() {
    if (input_file == HFILE_ERROR) return;
    _lclose(input_file);
    input_file = HFILE_ERROR;
}

int open_for_compress(const char* name) {
    uint8_t flags = FLAG_FORMAT_MARK;
    input_file = open_file(name, OF_READ);
    if (input_file == HFILE_ERROR) {
        report_error(kMsgCannotFindIn);
        return 0;
    }
    char compressed[kNameCapacity];
    char extension[3];
    bool stored = false;
    if (!make_compressed_name(name, compressed, extension, &stored)) {
        report_error(kMsgNameTooLong);
        return 0;
    }
    if (stored) flags |= FLAG_EXTENSION_STORED;

    // The length is found before anything is created: a file the length
    // field cannot describe is refused without leaving an output behind.
    DWORD high = 0;
    DWORD low = GetFileSize(file_size_handle(input_file), &high);
    if (low == INVALID_FILE_SIZE && high == 0) {
        report_error(kMsgReadFailed);
        return 0;
    }
    if (high != 0 || low > static_cast<DWORD>(kMaxFileLength)) {
        report_error(kMsgTooLarge);
        return 0;
    }
    int32_t length = static_cast<int32_t>(low);
    if (length & 1) flags |= FLAG_ODD_LENGTH;

    if (output_stream != HFILE_ERROR && same_open_files(input_file, output_stream)) {
        report_error(kMsgStreamIsIn);
        return 0;
    }
    if (output_stream == HFILE_ERROR && names_open_file(input_file, compressed)) {
        report_error(kMsgOutIsIn);
        return 0;
    }
    if (!create_output(compressed)) {
        report_error(kMsgCannotOpenOut);
        return 0;
    }
    bool ok = write_bytes(&flags, 1);
    _llseek(input_file, 0, 0);
    if (ok && (length & 1)) {
        uint8_t first;
        if (!read_bytes(&first, 1)) {
            discard_output_file();
            report_error(kMsgReadFailed);
            return 0;
        }
        ok = write_bytes(&first, 1);
    }
    if (ok && stored) ok = write_bytes(extension, 3);
    if (!ok) {
        discard_output_file();
        report_error(kMsgWriteFailed);
        return 0;
    }
    return 1;
}

int32_t open_for_expand(const char* name) {
    input_file = open_file(name, OF_READ);
    if (input_file == HFILE_ERROR) {
        report_error(kMsgCannotOpenIn);
        return -1;
    }
    char restored[kNameCapacity];
    if (std::strlen(name) > kNameCapacity - 1) {
        report_error(kMsgNameTooLong);
        return -1;
    }

    uint8_t flags = 0;
    if (_lread(input_file, &flags, 1) != 1) flags = 0;
    if ((flags & FLAG_FORMAT_MARK) == 0) {
        report_error(kMsgNotCompressed);
        return -1;
    }
    // The whole header is read before the restored file is created: a
    // header cut short is refused without inventing the missing bytes.
    uint8_t first = 0;
    uint8_t extension[3] = {0, 0, 0};
    uint8_t length_bytes[4];
    bool odd = (flags & FLAG_ODD_LENGTH) != 0;
    bool stored = (flags & FLAG_EXTENSION_STORED) != 0;
    if ((odd && !read_bytes(&first, 1)) || (stored && !read_bytes(extension, 3)) ||
        !read_bytes(length_bytes, 4)) {
        report_error(kMsgDamaged);
        return -1;
    }
    int32_t length = static_cast<int32_t>(get_le32(length_bytes));
    if (length < 0 || ((length & 1) != 0) != odd || (stored && is_unsafe_extension(extension))) {
        report_error(kMsgDamaged);
        return -1;
    }
    if (!make_restored_name(name, stored ? extension : nullptr, restored)) {
        report_error(kMsgNameTooLong);
        return -1;
    }
    if (output_stream != HFILE_ERROR && same_open_files(input_file, output_stream)) {
        report_error(kMsgStreamIsIn);
        return -1;
    }
    if (output_stream == HFILE_ERROR &&
        (same_name_ignoring_case(restored, name) || names_open_file(input_file, restored))) {
        report_error(kMsgSameName);
        return -1;
    }

    if (!create_output(restored)) {
        report_error(kMsgCannotOpenOut);
        return -1;
    }
    if (odd && !write_bytes(&first, 1)) {
        discard_output_file();
        report_error(kMsgWriteFailed);
        return -1;
    }
    return length;
}
