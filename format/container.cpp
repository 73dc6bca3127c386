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


// How many temporary names are tried: one is enough unless a file of a
// program that was killed outright is left over under that name.
constexpr int kTemporaryNameAttempts = 16;

// Creates output_file in the folder of `name`, new and for its owner alone,
// with no name or under a temporary one; it takes `name` at commit_output.
static bool create_output(JobFiles* job, const char* name) {
    job->output_name[0] = '\0';
    job->output_unnamed = false;
    if (job->checking_only) {
        job->output_file = HFILE_ERROR;
        return true;
    }
    if (job->output_stream != HFILE_ERROR) {
        job->output_file = job->output_stream;
        job->output_start = written_mark(job->output_file);
        return true;
    }
    if (!may_replace_file(name)) return false;
    job->output_file = create_unnamed_file(name);
    if (job->output_file != HFILE_ERROR) {
        job->output_unnamed = true;
        std::strcpy(job->final_name, name);
        job->output_start = written_mark(job->output_file);
        return true;
    }
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        make_temporary_name(name, GetCurrentProcessId(), static_cast<uint8_t>(attempt),
                            job->output_name);
        // Guarded before it exists, so that no moment passes in which an
        // interrupt would leave the file behind.
        if (!guard_against_interrupts(job->output_name)) break;
        job->output_file = create_new_file(job->output_name);
        if (job->output_file != HFILE_ERROR) {
            std::strcpy(job->final_name, name);
            job->output_start = written_mark(job->output_file);
            return true;
        }
        release_interrupt_guard();
    }
    job->output_name[0] = '\0';
    return false;
}

int64_t output_length(const JobFiles* job) {
    return written_mark(job->output_file) - job->output_start;
}

// With an output stream, the next job writes on where this one stopped.
static bool let_go_of_stream(JobFiles* job) {
    if (job->output_file == HFILE_ERROR || job->output_file != job->output_stream) return false;
    job->output_file = HFILE_ERROR;
    return true;
}

void discard_output_file(JobFiles* job) {
    if (job->output_file == HFILE_ERROR || let_go_of_stream(job)) return;
    _lclose(job->output_file);
    job->output_file = HFILE_ERROR;
    // A file with no name is gone once closed.
    if (job->output_unnamed) return;
    remove_file(job->output_name);
    release_interrupt_guard();
}

// Gives the unnamed output_file the final name: straight away when nothing
// has that name, else under a temporary name first, which then replaces the
// existing file in one step.  output_name holds the temporary name while it
// exists.  An unsynced output that finds the name taken after all is synced
// before it replaces that file.
static bool name_unnamed_output(JobFiles* job, bool synced) {
    if (link_unnamed_file(job->output_file, job->final_name)) return true;
    if (!synced && !sync_file(job->output_file)) return false;
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        make_temporary_name(job->final_name, GetCurrentProcessId(), static_cast<uint8_t>(attempt),
                            job->output_name);
        if (!guard_against_interrupts(job->output_name)) break;
        if (link_unnamed_file(job->output_file, job->output_name)) {
            if (replace_file(job->output_name, job->final_name)) {
                release_interrupt_guard();
                return true;
            }
            remove_file(job->output_name);
            release_interrupt_guard();
            break;
        }
        release_interrupt_guard();
    }
    job->output_name[0] = '\0';
    return false;
}

bool output_needs_sync(const JobFiles* job) {
    if (job->checking_only || job->output_file == HFILE_ERROR || job->output_file == job->output_stream) return false;
    return job->always_sync_output || job->sync_output_folder || name_taken(job->final_name);
}

bool commit_output(JobFiles* job) {
    if (job->checking_only) return true;
    if (job->output_file == HFILE_ERROR) return false;
    if (let_go_of_stream(job)) return true;
    // The time and the permission bits are what a user expects to keep, but
    // a folder that cannot take them (a file system without modes) still
    // gets the whole file; the output was created for its owner alone, so a
    // failed copy makes nothing readable by others.
    if (job->input_stream != HFILE_ERROR) {
        give_new_file_mode(job->output_file);
    } else {
        copy_file_metadata(job->input_file, job->output_file);
    }
    // When the output needs it, its data reaches the disk before its name
    // does: a power cut then never leaves an empty or cut file in place of
    // the file it replaces.
    bool needs_sync = output_needs_sync(job);
    bool written = !needs_sync || sync_file(job->output_file);
#ifdef _WIN32
    // Created to go when it is closed; from here on it stays.
    written = keep_file_on_close(job->output_file, needs_sync) && written;
#endif
    bool named = written && (!job->output_unnamed || name_unnamed_output(job, needs_sync));
    bool closed = _lclose(job->output_file) == 0;
    job->output_file = HFILE_ERROR;
    // A temporary file that fails to close fails the job (its close may be
    // the first to report a write error); an unnamed one has its name by now.
    written = written && (closed || job->output_unnamed);
    if (!job->output_unnamed) {
        named = written && replace_file(job->output_name, job->final_name);
        if (!named) remove_file(job->output_name);
        release_interrupt_guard();
    }
    if (!written || !named) {
        report_error(written ? kMsgCannotReplaceOut : kMsgWriteFailed);
        return false;
    }
    if (job->sync_output_folder) sync_folder_of(job->final_name);
    return true;
}

void close_input_file(JobFiles* job) {
    if (job->input_file == HFILE_ERROR) return;
    _lclose(job->input_file);
    job->input_file = HFILE_ERROR;
}

// The input named `name`, or input_stream when one is set.
static HFILE open_input(const JobFiles* job, const char* name) {
    if (job->input_stream != HFILE_ERROR) return job->input_stream;
    return open_file(name, OF_READ);
}

int open_for_compress(JobFiles* job, const char* name) {
    job->stored_extension[0] = '\0';
    job->input_file = open_input(job, name);
    if (job->input_file == HFILE_ERROR) {
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
    if (job->input_stream != HFILE_ERROR) stored = false;
    if (job->output_choice != nullptr) {
        if (std::strlen(job->output_choice) > kNameCapacity - 1) {
            report_error(kMsgNameTooLong);
            return 0;
        }
        std::strcpy(compressed, job->output_choice);
    }

    // The length is found before anything is created: a file the length
    // field cannot describe is refused without leaving an output behind.
    // Only a file of the disk has one: a pipe or a device named as the in
    // file would be coded under a length it does not have (standard input
    // is copied to such a file first).
    if (GetFileType(file_size_handle(job->input_file)) != FILE_TYPE_DISK) {
        report_error(kMsgReadFailed);
        return 0;
    }
    DWORD high = 0;
    DWORD low = GetFileSize(file_size_handle(job->input_file), &high);
    if (low == INVALID_FILE_SIZE && high == 0) {
        report_error(kMsgReadFailed);
        return 0;
    }
    if (high != 0 || low > static_cast<DWORD>(kMaxFileLength)) {
        report_error(kMsgTooLarge);
        return 0;
    }

    if (job->output_stream != HFILE_ERROR && same_open_files(job->input_file, job->output_stream)) {
        report_error(kMsgStreamIsIn);
        return 0;
    }
    if (job->output_stream == HFILE_ERROR && names_open_file(job->input_file, compressed)) {
        report_error(kMsgOutIsIn);
        return 0;
    }
    if (!create_output(job, compressed)) {
        report_error(kMsgCannotOpenOut);
        return 0;
    }
    _llseek(job->input_file, 0, 0);
    if (stored) {
        std::memcpy(job->stored_extension, extension, 3);
        job->stored_extension[3] = '\0';
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

int32_t open_for_expand(JobFiles* job, const char* name) {
    job->input_file = open_input(job, name);
    if (job->input_file == HFILE_ERROR) {
        report_error(kMsgCannotOpenIn);
        return -1;
    }
    char restored[kNameCapacity];
    if (std::strlen(name) > kNameCapacity - 1) {
        report_error(kMsgNameTooLong);
        return -1;
    }

    const char* fault = read_container_header(job->input_file, &job->header_bytes);
    if (fault != nullptr) {
        report_error(fault);
        return -1;
    }
    const q73_header& header = job->header_bytes.header;
    int32_t length = static_cast<int32_t>(header.original_size);
    // The name is made only for an output file that takes it.
    bool named_output = job->output_stream == HFILE_ERROR && !job->checking_only;
    if (named_output && job->output_choice != nullptr) {
        if (std::strlen(job->output_choice) > kNameCapacity - 1) {
            report_error(kMsgNameTooLong);
            return -1;
        }
        std::strcpy(restored, job->output_choice);
        if (names_open_file(job->input_file, restored)) {
            report_error(kMsgOutIsIn);
            return -1;
        }
    } else if (named_output) {
        const uint8_t* extension = reinterpret_cast<const uint8_t*>(header.extension);
        if (!make_restored_name(name, job->header_bytes.extension_stored ? extension : nullptr, restored)) {
            report_error(kMsgNameTooLong);
            return -1;
        }
        if (same_name_ignoring_case(restored, name) || names_open_file(job->input_file, restored)) {
            report_error(kMsgSameName);
            return -1;
        }
    }
    if (job->output_stream != HFILE_ERROR && !job->checking_only &&
        same_open_files(job->input_file, job->output_stream)) {
        report_error(kMsgStreamIsIn);
        return -1;
    }

    if (!create_output(job, restored)) {
        report_error(kMsgCannotOpenOut);
        return -1;
    }
    return length;
}
