#include "app/status_job.h"

#include "app/resource_ids.h"
#include "app/result_text.h"
#include "format/container.h"
#include "platform/interrupts.h"
#include "platform/unnamed_files.h"

HINSTANCE instance_handle;
HWND status_window;
char file_name[1024];

uint32_t start_ticks;
uint32_t end_ticks;
double uncompressed_size;
double compressed_size;
bool job_failed;
JobFiles job_files;
JobControl job_control;
int requested_threads = 0;

static const char* message_for(q73_result status) {
    switch (status) {
        case Q73_READ_FAILED: return kMsgReadFailed;
        case Q73_WRITE_FAILED: return kMsgWriteFailed;
        case Q73_NO_MEMORY: return kMsgNoMemory;
        case Q73_TOO_LARGE: return kMsgTooLarge;
        default: break;
    }
    return kMsgDamaged;
}

// Progress of the running job: the status window's bar counts the bytes of
// the uncompressed file, from `progress_base` (the raw first byte, already
// handled by the container) to `progress_total`.  The bar is moved and the
// waiting messages of the program's windows are dispatched at most every
// kProgressIntervalMs, so the window repaints and answers while the codec
// runs, at no cost worth measuring to the codec.
constexpr DWORD kProgressIntervalMs = 40;
static HWND progress_dialog;
static int64_t progress_base;
static int64_t progress_total;
static DWORD progress_ticks;
static bool job_running;

// Takes and dispatches the messages waiting for the program's windows.
static void dispatch_waiting_messages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Kept for the loop that ends the program, not this job's.
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        if (progress_dialog != nullptr && IsDialogMessageA(progress_dialog, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

static void show_progress(int64_t bytes_done) {
    DWORD now = GetTickCount();
    int64_t position = progress_base + bytes_done;
    if (now - progress_ticks < kProgressIntervalMs && position < progress_total) return;
    progress_ticks = now;
    SendDlgItemMessageA(progress_dialog, IDC_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    dispatch_waiting_messages();
}

static void start_progress(HWND dialog, int64_t base, int64_t total) {
    progress_dialog = dialog;
    progress_base = base;
    progress_total = total;
    progress_ticks = GetTickCount();
    SendDlgItemMessageA(dialog, IDC_PROGRESS, PBM_SETRANGE32, 0,
                        static_cast<LPARAM>(total > 0 ? total : 1));
    SendDlgItemMessageA(dialog, IDC_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(base), 0);
    job_control.stop.store(false);
    job_control.bytes_done.store(0);
    job_control.on_block = show_progress;
}

static void end_progress() {
    job_control.on_block = nullptr;
    progress_dialog = nullptr;
}

// Reports the failure, removes the incomplete output and leaves the input
// file untouched.
static void stop_job(const char* text) {
    discard_output_file(&job_files);
    close_input_file(&job_files);
    report_error(text);
    job_failed = true;
}

bool begin_compress(HWND dialog, JobPlan* plan) {
    if (open_for_compress(&job_files, file_name) == 0) {
        job_failed = true;
        return false;
    }
    SetDlgItemTextA(dialog, IDC_STATUS_TEXT, "Compressing...");
    LONG length = _llseek(job_files.input_file, 0, 2);
    _llseek(job_files.input_file, 0, 0);
    plan->expand = false;
    plan->base = 0;
    plan->total = length;
    plan->length = length;
    return true;
}

bool begin_expand(HWND dialog, JobPlan* plan) {
    SetDlgItemTextA(dialog, IDC_STATUS_TEXT, "Expanding...");
    int32_t length = open_for_expand(&job_files, file_name);
    if (length == -1) {
        job_failed = true;
        return false;
    }
    plan->expand = true;
    plan->base = 0;
    plan->total = length;
    plan->length = length;
    return true;
}

namespace {

// The compressed input: the header's bytes that the container read, then
// the rest of input_file.
struct ExpandInput {
    int at;
};

// A read cut short by an interrupt goes no further: the job stops.
ptrdiff_t read_input(void* user, void* buffer, size_t size) {
    uint8_t* out = static_cast<uint8_t*>(buffer);
    size_t replayed = 0;
    if (ExpandInput* replay = static_cast<ExpandInput*>(user)) {
        while (replayed < size && replay->at < job_files.header_bytes.bytes_read) {
            out[replayed++] = job_files.header_bytes.bytes[replay->at++];
        }
        if (replayed > 0) return static_cast<ptrdiff_t>(replayed);
    }
    UINT got = _lread(job_files.input_file, out, static_cast<UINT>(size));
    if (got == static_cast<UINT>(HFILE_ERROR)) return -1;
    if (got < size && pending_interrupt() != 0) return -1;
    return static_cast<ptrdiff_t>(got);
}

// An output that is synced at its end goes to the disk block by block while
// the next ones are coded, so that the sync finds little to do.  A check of
// a file writes nothing.
int write_output(void*, const void* data, size_t size) {
    if (job_files.output_file == HFILE_ERROR) return 0;
    if (_lwrite(job_files.output_file, static_cast<LPCSTR>(data), static_cast<UINT>(size)) != static_cast<UINT>(size)) {
        return 1;
    }
    if (job_control.write_out_early) start_writing_out(job_files.output_file);
    return 0;
}

int on_progress(void*, uint64_t done, uint64_t) {
    job_control.bytes_done.store(static_cast<int64_t>(done), std::memory_order_relaxed);
    if (job_control.on_block != nullptr) job_control.on_block(static_cast<int64_t>(done));
    return job_control.stop.load(std::memory_order_relaxed) || pending_interrupt() != 0;
}

}  // namespace

q73_result run_codec(const JobPlan& plan) {
    job_control.write_out_early = output_needs_sync(&job_files);
    q73_options options{};
    options.threads = requested_threads == 0 ? Q73_ALL_PROCESSORS : static_cast<unsigned>(requested_threads);
    options.progress = on_progress;
    // Interrupts wait for the library's workers to be joined.
    bool deferring = requested_threads != 1;
    if (deferring) defer_interrupts(true);
    q73_result status;
    if (plan.expand) {
        ExpandInput replay{0};
        status = q73_expand_stream(read_input, &replay, write_output, nullptr, &options);
    } else {
        const char* extension = job_files.stored_extension[0] != '\0' ? job_files.stored_extension : nullptr;
        status = q73_compress_stream(read_input, nullptr, static_cast<uint64_t>(plan.length), extension,
                                     write_output, nullptr, &options);
    }
    if (deferring) defer_interrupts(false);
    return status;
}

bool end_job(const JobPlan& plan, q73_result status) {
    if (status == Q73_STOPPED || pending_interrupt() != 0) {
        // Stopped on request: the unfinished output goes, and nothing is
        // said.  Stopped by an interrupt, the program then ends as the
        // interrupt asked.
        discard_output_file(&job_files);
        close_input_file(&job_files);
        job_failed = true;
        end_if_interrupted();
        return false;
    }
    if (status != Q73_OK) {
        stop_job(message_for(status));
        return false;
    }
    if (!plan.expand) {
        // A file that changed while it was read no longer matches its length
        // field; such an output would not expand to anything sensible.
        LONG coded_end = _llseek(job_files.input_file, 0, 1);
        uncompressed_size = static_cast<double>(_llseek(job_files.input_file, 0, 2));
        compressed_size = static_cast<double>(output_length(&job_files));
        if (coded_end != plan.length ||
            uncompressed_size != static_cast<double>(plan.length)) {
            stop_job(kMsgReadFailed);
            return false;
        }
    }
    bool committed = commit_output(&job_files);
    close_input_file(&job_files);
    if (!committed) job_failed = true;
    return committed;
}

// One job from start to end on the calling thread, its progress shown (and
// the program's windows served) from the codec's calls after each block.
static void run_job_here(HWND dialog, bool expand) {
    JobPlan plan;
    if (!(expand ? begin_expand(dialog, &plan) : begin_compress(dialog, &plan))) return;
    start_progress(dialog, plan.base, plan.total);
    start_ticks = GetTickCount();
    q73_result status = run_codec(plan);
    end_ticks = GetTickCount();
    end_progress();
    if (!end_job(plan, status)) return;
    // A check of the file has no result to show.
    if (job_files.checking_only) return;
    if (expand) {
        DialogBoxParamA(instance_handle, MAKEINTRESOURCEA(IDD_EXPANSION_COMPLETED), dialog,
                        expansion_completed_proc, 0);
    } else {
        DialogBoxParamA(instance_handle, MAKEINTRESOURCEA(IDD_COMPRESSION_COMPLETED), dialog,
                        compression_completed_proc, 0);
    }
}

void compress_job(HWND dialog) { run_job_here(dialog, false); }

void expand_job(HWND dialog) { run_job_here(dialog, true); }

INT_PTR status_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    if (message == WM_ENDSESSION && wparam) {
        // The session ends during a job: the program may be ended at any
        // moment after this returns, so the unfinished output goes now.
        discard_output_file(&job_files);
        return FALSE;
    }
    if (message != WM_COMMAND) return FALSE;
    // Messages are dispatched while a job runs: a job command that arrives
    // then is ignored like every other command, so one job runs at a time.
    if (job_running) return TRUE;
    if (wparam == IDM_COMPRESS || wparam == IDM_EXPAND) {
        job_running = true;
        if (wparam == IDM_COMPRESS) {
            compress_job(dialog);
        } else {
            expand_job(dialog);
        }
        job_running = false;
    }
    return TRUE;
}

INT_PTR compression_completed_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    char line[kLineCapacity];
    if (message == WM_ACTIVATE) {
        format_elapsed_time(start_ticks, end_ticks, line, sizeof line);
        SetDlgItemTextA(dialog, IDC_ELAPSED_TIME, line);
        format_original_size(uncompressed_size, line, sizeof line);
        SetDlgItemTextA(dialog, IDC_UNCOMPRESSED_SIZE, line);
        format_compressed_size(compressed_size, line, sizeof line);
        SetDlgItemTextA(dialog, IDC_COMPRESSED_SIZE, line);
        format_percent_reduced(uncompressed_size, compressed_size, line, sizeof line);
        SetDlgItemTextA(dialog, IDC_PERCENT_REDUCED, line);
        return TRUE;
    }
    if (message == WM_COMMAND) {
        if (wparam == IDC_COMPRESSION_OK) EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}

INT_PTR expansion_completed_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    if (message == WM_ACTIVATE) {
        char line[kLineCapacity];
        format_elapsed_time(start_ticks, end_ticks, line, sizeof line);
        SetDlgItemTextA(dialog, IDC_ELAPSED_TIME, line);
        return TRUE;
    }
    if (message == WM_COMMAND) {
        if (wparam == IDC_EXPANSION_OK) EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}
