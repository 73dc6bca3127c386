#include "format/container.h"

#include <cstring>
#include <string>

#include "platform/files.h"
#include "platform/interrupts.h"
#include "platform/same_file.h"
#include "platform/unnamed_files.h"
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
const char* output_choice = nullptr;
HFILE input_stream = HFILE_ERROR;
bool checking_only = false;
bool sync_output_folder = false;
bool always_sync_output = false;
ContainerHeader header_bytes;
char stored_extension[4];
static int64_t output_start;
// Set while output_file is a file with no name (output_name is empty then).
static bool output_unnamed;

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

// The final name of the output being written; output_name is the
// temporary name it is written under until commit_output.
static char final_name[kNameCapacity];

// How many temporary names are tried: one is enough unless a file of a
// program that was killed outright is left over under that name.
constexpr int kTemporaryNameAttempts = 16;

// Creates output_file in the folder of `name`, new and for its owner alone,
// with no name or under a temporary one; it takes `name` at commit_output.
static bool create_output(const char* name) {
    output_name[0] = '\0';
    output_unnamed = false;
    if (checking_only) {
        output_file = HFILE_ERROR;
        return true;
    }
    if (output_stream != HFILE_ERROR) {
        output_file = output_stream;
        output_start = written_mark(output_file);
        return true;
    }
    if (!may_replace_file(name)) return false;
    output_file = create_unnamed_file(name);
    if (output_file != HFILE_ERROR) {
        output_unnamed = true;
        std::strcpy(final_name, name);
        output_start = written_mark(output_file);
        return true;
    }
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
    // A file with no name is gone once closed.
    if (output_unnamed) return;
    remove_file(output_name);
    release_interrupt_guard();
}

// Gives the unnamed output_file the final name: straight away when nothing
// has that name, else under a temporary name first, which then replaces the
// existing file in one step.  output_name holds the temporary name while it
// exists.  An unsynced output that finds the name taken after all is synced
// before it replaces that file.
static bool name_unnamed_output(bool synced) {
    if (link_unnamed_file(output_file, final_name)) return true;
    if (!synced && !sync_file(output_file)) return false;
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        make_temporary_name(final_name, GetCurrentProcessId(), static_cast<uint8_t>(attempt),
                            output_name);
        if (!guard_against_interrupts(output_name)) break;
        if (link_unnamed_file(output_file, output_name)) {
            if (replace_file(output_name, final_name)) {
                release_interrupt_guard();
                return true;
            }
            remove_file(output_name);
            release_interrupt_guard();
            break;
        }
        release_interrupt_guard();
    }
    output_name[0] = '\0';
    return false;
}

bool output_needs_sync() {
    if (checking_only || output_file == HFILE_ERROR || output_file == output_stream) return false;
    return always_sync_output || sync_output_folder || name_taken(final_name);
}

bool commit_output() {
    if (checking_only) return true;
    if (output_file == HFILE_ERROR) return false;
    if (let_go_of_stream()) return true;
    // The time and the permission bits are what a user expects to keep, but
    // a folder that cannot take them (a file system without modes) still
    // gets the whole file; the output was created for its owner alone, so a
    // failed copy makes nothing readable by others.
    if (input_stream != HFILE_ERROR) {
        give_new_file_mode(output_file);
    } else {
        copy_file_metadata(input_file, output_file);
    }
    // When the output needs it, its data reaches the disk before its name
    // does: a power cut then never leaves an empty or cut file in place of
    // the file it replaces.
    bool needs_sync = output_needs_sync();
    bool written = !needs_sync || sync_file(output_file);
#ifdef _WIN32
    // Created to go when it is closed; from here on it stays.
    written = keep_file_on_close(output_file, needs_sync) && written;
#endif
    bool named = written && (!output_unnamed || name_unnamed_output(needs_sync));
    bool closed = _lclose(output_file) == 0;
    output_file = HFILE_ERROR;
    // A temporary file that fails to close fails the job (its close may be
    // the first to report a write error); an unnamed one has its name by now.
    written = written && (closed || output_unnamed);
    if (!output_unnamed) {
        named = written && replace_file(output_name, final_name);
        if (!named) remove_file(output_name);
        release_interrupt_guard();
    }
    if (!written || !named) {
        report_error(written ? kMsgCannotReplaceOut : kMsgWriteFailed);
        return false;
    }
    if (sync_output_folder) sync_folder_of(final_name);
    return true;
}

void close_input_file() {
    if (input_file == HFILE_ERROR) return;
    _lclose(input_file);
    input_file = HFILE_ERROR;
}

// The input named `name`, or input_stream when one is set.
static HFILE open_input(const char* name) {
    if (input_stream != HFILE_ERROR) return input_stream;
    return open_file(name, OF_READ);
}

int open_for_compress(const char* name) {
    stored_extension[0] = '\0';
    input_file = open_input(name);
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
    if (input_stream != HFILE_ERROR) stored = false;
    if (output_choice != nullptr) {
        if (std::strlen(output_choice) > kNameCapacity - 1) {
            report_error(kMsgNameTooLong);
            return 0;
        }
        std::strcpy(compressed, output_choice);
    }

    // The length is found before anything is created: a file the length
    // field cannot describe is refused without leaving an output behind.
    // Only a file of the disk has one: a pipe or a device named as the in
    // file would be coded under a length it does not have (standard input
    // is copied to such a file first).
    if (GetFileType(file_size_handle(input_file)) != FILE_TYPE_DISK) {
        report_error(kMsgReadFailed);
        return 0;
    }
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
    _llseek(input_file, 0, 0);
    if (stored) {
        std::memcpy(stored_extension, extension, 3);
        stored_extension[3] = '\0';
    }
    return 1;
}

const char* read_container_header(HFILE file, ContainerHeader* header) {
    *header = ContainerHeader{};
    // Read as far as the longest header, however the file hands it out.
    while (header->bytes_read < Q73_MAX_HEADER_SIZE) {
        UINT got = _lread(file, header->bytes + header->bytes_read,
                          static_cast<UINT>(Q73_MAX_HEADER_SIZE - header->bytes_read));
        if (got == static_cast<UINT>(HFILE_ERROR) || got == 0) break;
        header->bytes_read += static_cast<int>(got);
    }
    if (header->bytes_read == 0 || (header->bytes[0] & 0x80) == 0) return kMsgNotCompressed;
    // The whole header is read before anything is created: a header cut
    // short is refused without inventing the missing bytes.
    if (q73_read_header(header->bytes, static_cast<size_t>(header->bytes_read), &header->header) != Q73_OK) {
        return kMsgDamaged;
    }
    header->extension_stored = (header->bytes[0] & FLAG_EXTENSION_STORED) != 0;
    return nullptr;
}

int32_t open_for_expand(const char* name) {
    input_file = open_input(name);
    if (input_file == HFILE_ERROR) {
        report_error(kMsgCannotOpenIn);
        return -1;
    }
    char restored[kNameCapacity];
    if (std::strlen(name) > kNameCapacity - 1) {
        report_error(kMsgNameTooLong);
        return -1;
    }

    const char* fault = read_container_header(input_file, &header_bytes);
    if (fault != nullptr) {
        report_error(fault);
        return -1;
    }
    const q73_header& header = header_bytes.header;
    int32_t length = static_cast<int32_t>(header.original_size);
    // The name is made only for an output file that takes it.
    bool named_output = output_stream == HFILE_ERROR && !checking_only;
    if (named_output && output_choice != nullptr) {
        if (std::strlen(output_choice) > kNameCapacity - 1) {
            report_error(kMsgNameTooLong);
            return -1;
        }
        std::strcpy(restored, output_choice);
        if (names_open_file(input_file, restored)) {
            report_error(kMsgOutIsIn);
            return -1;
        }
    } else if (named_output) {
        const uint8_t* extension = reinterpret_cast<const uint8_t*>(header.extension);
        if (!make_restored_name(name, header_bytes.extension_stored ? extension : nullptr, restored)) {
            report_error(kMsgNameTooLong);
            return -1;
        }
        if (same_name_ignoring_case(restored, name) || names_open_file(input_file, restored)) {
            report_error(kMsgSameName);
            return -1;
        }
    }
    if (output_stream != HFILE_ERROR && !checking_only &&
        same_open_files(input_file, output_stream)) {
        report_error(kMsgStreamIsIn);
        return -1;
    }

    if (!create_output(restored)) {
        report_error(kMsgCannotOpenOut);
        return -1;
    }
    return length;
}
