#include "app/batch_windows.h"

#include <shobjidl.h>

#include <cstring>
#include <thread>

#include "app/about_text.h"
#include "app/command_line.h"
#include "app/resource_ids.h"
#include "app/status_job.h"
#include "format/container.h"
#include "platform/windows/wide_names.h"

namespace {

// Posted by the worker when the codec has returned.
constexpr UINT WM_JOB_DONE = WM_APP + 1;
// Posted to start the batch once the message loop runs.
constexpr UINT WM_START_BATCH = WM_APP + 2;

// The bar's position is read from job_control.bytes_done this often while a
// job runs: the window itself answers at once at any time, as its thread
// only waits for messages.
constexpr UINT_PTR kProgressTimer = 1;
constexpr UINT kProgressMs = 30;
constexpr int kBarRange = 10000;

// The taskbar button's progress, where the system has it.
class TaskbarProgress {
public:
    void attach(HWND window) {
        window_ = window;
        if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return;
        com_ready_ = true;
        void* list = nullptr;
        if (SUCCEEDED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_ITaskbarList3, &list))) {
            list_ = static_cast<ITaskbarList3*>(list);
            if (FAILED(list_->HrInit())) release();
        }
    }
    // The button is made after the window: what was set before is set again
    // when the system says the button is there.
    void button_created() {
        if (!list_) return;
        list_->SetProgressState(window_, state_);
        list_->SetProgressValue(window_, static_cast<ULONGLONG>(position_), kBarRange);
    }
    void show(int position) {
        position_ = position;
        if (list_) list_->SetProgressValue(window_, static_cast<ULONGLONG>(position), kBarRange);
    }
    void set_state(TBPFLAG state) {
        state_ = state;
        if (list_) list_->SetProgressState(window_, state);
    }
    void release() {
        if (list_) list_->Release();
        list_ = nullptr;
        if (com_ready_) CoUninitialize();
        com_ready_ = false;
    }

private:
    HWND window_ = nullptr;
    ITaskbarList3* list_ = nullptr;
    bool com_ready_ = false;
    TBPFLAG state_ = TBPF_NORMAL;
    int position_ = 0;
};

struct Batch {
    std::vector<std::string> names;
    std::vector<double> weights;  // each file's share of the bar
    double weight_total = 0;
    double weight_done = 0;       // the shares of the files behind us
    size_t next = 0;              // the next file to start
    size_t current = 0;           // the file in work
    bool several = false;

    JobPlan plan;
    bool running = false;
    bool cancelled = false;
    std::thread worker;
    q73_result status = Q73_OK;
    DWORD codec_start = 0;
    DWORD codec_end = 0;
    int bar = 0;

    DWORD start = 0;
    int compressed = 0;
    int expanded = 0;
    double compressed_in = 0;
    double compressed_out = 0;
    std::string errors;

    TaskbarProgress taskbar;
    UINT taskbar_created = 0;
};

Batch batch;

void collect_error(const char* text) {
    if (!batch.errors.empty()) batch.errors += "\n";
    batch.errors += text;
}

// Each file counts for its size on disk (one byte more, so that an empty or
// missing file still counts for something).
double weight_of(const std::string& name) {
    std::wstring wide;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!wide_file_name(name.c_str(), &wide) ||
        !GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) {
        return 1;
    }
    return static_cast<double>(data.nFileSizeHigh) * 4294967296.0 + data.nFileSizeLow + 1;
}

// The bar never goes back and never passes its end: the job's bytes count
// in file order, and the files behind us count whole.
void show_progress() {
    double share = 0;
    if (batch.running) {
        const JobPlan& plan = batch.plan;
        double done = static_cast<double>(plan.base + job_control.bytes_done.load());
        share = plan.total > 0 ? done / static_cast<double>(plan.total) : 1;
        if (share > 1) share = 1;
        share *= batch.weights[batch.current];
    }
    int position = static_cast<int>((batch.weight_done + share) / batch.weight_total * kBarRange);
    if (position > kBarRange) position = kBarRange;
    if (position <= batch.bar) return;
    batch.bar = position;
    SendDlgItemMessageA(status_window, IDC_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    batch.taskbar.show(position);
}

void file_behind_us(bool failed) {
    batch.weight_done += batch.weights[batch.current];
    batch.running = false;
    show_progress();
    if (failed) batch.taskbar.set_state(TBPF_ERROR);
}

std::string base_name(const std::string& name) {
    size_t slash = name.find_last_of("\\/");
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

void show_file_name() {
    std::string line = base_name(batch.names[batch.current]);
    if (batch.several) {
        line += " (" + std::to_string(batch.current + 1) + " of " +
                std::to_string(batch.names.size()) + ")";
    }
    SetDlgItemTextA(status_window, IDC_FILE_NAME, line.c_str());
}

void finish_batch();

// Starts the next file's job on the worker, passing over the files that
// fail before their codec starts; at the end of the list, ends the batch.
void start_next() {
    while (batch.next < batch.names.size() && !batch.cancelled) {
        batch.current = batch.next++;
        const std::string& name = batch.names[batch.current];
        error_subject = batch.several ? name.c_str() : nullptr;
        show_file_name();
        job_failed = false;
        if (name.size() > sizeof file_name - 1) {
            report_error(kMsgNameTooLong);
            file_behind_us(true);
            continue;
        }
        std::memcpy(file_name, name.c_str(), name.size() + 1);
        bool expand = names_compressed_file(file_name);
        if (!(expand ? begin_expand(status_window, &batch.plan)
                     : begin_compress(status_window, &batch.plan))) {
            file_behind_us(true);
            continue;
        }
        job_control.stop.store(false);
        job_control.bytes_done.store(0);
        job_control.on_block = nullptr;
        batch.running = true;
        batch.codec_start = GetTickCount();
        try {
            batch.worker = std::thread([] {
                q73_result status = run_codec(batch.plan);
                batch.codec_end = GetTickCount();
                // An output that needs it has its data put on the disk here,
                // off the window's thread, before the move that names it.
                if (status == Q73_OK && output_needs_sync(&job_files)) {
                    FlushFileBuffers(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(job_files.output_file)));
                }
                batch.status = status;
                PostMessageA(status_window, WM_JOB_DONE, 0, 0);
            });
        } catch (...) {
            batch.codec_end = GetTickCount();
            batch.status = Q73_NO_MEMORY;
            PostMessageA(status_window, WM_JOB_DONE, 0, 0);
        }
        SetTimer(status_window, kProgressTimer, kProgressMs, nullptr);
        return;
    }
    finish_batch();
}

void job_done() {
    if (batch.worker.joinable()) batch.worker.join();
    KillTimer(status_window, kProgressTimer);
    show_progress();
    // A job cancelled after its last block still goes: the user asked for
    // nothing to change.
    q73_result status = batch.cancelled ? Q73_STOPPED : batch.status;
    bool done = end_job(batch.plan, status);
    if (done && batch.plan.expand) {
        ++batch.expanded;
    } else if (done) {
        ++batch.compressed;
        batch.compressed_in += uncompressed_size;
        batch.compressed_out += compressed_size;
    }
    file_behind_us(!done && !batch.cancelled);
    start_next();
}

void cancel() {
    batch.cancelled = true;
    job_control.stop.store(true);
}

void finish_batch() {
    error_subject = nullptr;
    error_sink = nullptr;
    file_name[0] = '\0';
    if (!batch.cancelled) {
        if (!batch.errors.empty()) MessageBoxA(nullptr, batch.errors.c_str(), "", MB_OK);
        if (batch.several) {
            start_ticks = batch.start;
            end_ticks = GetTickCount();
        } else {
            start_ticks = batch.codec_start;
            end_ticks = batch.codec_end;
        }
        if (batch.compressed > 0) {
            uncompressed_size = batch.compressed_in;
            compressed_size = batch.compressed_out;
            DialogBoxParamA(instance_handle, MAKEINTRESOURCEA(IDD_COMPRESSION_COMPLETED),
                            status_window, compression_completed_proc, 0);
        } else if (batch.expanded > 0) {
            DialogBoxParamA(instance_handle, MAKEINTRESOURCEA(IDD_EXPANSION_COMPLETED),
                            status_window, expansion_completed_proc, 0);
        }
    }
    batch.taskbar.set_state(TBPF_NOPROGRESS);
    batch.taskbar.release();
    DestroyWindow(status_window);
    status_window = nullptr;
    PostQuitMessage(0);
}

INT_PTR CALLBACK batch_status_proc(HWND, UINT message, WPARAM wparam, LPARAM) {
    if (message != 0 && message == batch.taskbar_created) {
        batch.taskbar.button_created();
        return TRUE;
    }
    switch (message) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_START_BATCH:
            start_next();
            return TRUE;
        case WM_TIMER:
            if (wparam == kProgressTimer) show_progress();
            return TRUE;
        case WM_JOB_DONE:
            job_done();
            return TRUE;
        case WM_COMMAND:
            // The Cancel button and Escape; any other command is ignored.
            if (LOWORD(wparam) == IDCANCEL) cancel();
            return TRUE;
        case WM_CLOSE:
            cancel();
            return TRUE;
        case WM_ENDSESSION:
            // The session ends: the program may be ended at any moment
            // after this returns, so the job stops and its output goes now.
            if (wparam && batch.running) {
                cancel();
                if (batch.worker.joinable()) batch.worker.join();
                end_job(batch.plan, Q73_STOPPED);
                batch.running = false;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

void run_batch(const std::vector<std::string>& names) {
    if (names.empty()) {
        MessageBoxA(nullptr, kAboutText, kAboutCaption, MB_OK);
        return;
    }
    batch.names = names;
    batch.several = names.size() > 1;
    for (const std::string& name : names) {
        batch.weights.push_back(weight_of(name));
        batch.weight_total += batch.weights.back();
    }
    if (batch.several) error_sink = collect_error;
    // Every processor the program may use.
    requested_threads = 0;
    batch.taskbar_created = RegisterWindowMessageA("TaskbarButtonCreated");
    status_window = CreateDialogParamA(instance_handle, MAKEINTRESOURCEA(IDD_STATUS), nullptr,
                                       batch_status_proc, 0);
    if (status_window == nullptr) return;
    SendDlgItemMessageA(status_window, IDC_PROGRESS, PBM_SETRANGE32, 0, kBarRange);
    ShowWindow(status_window, SW_SHOW);
    batch.taskbar.attach(status_window);
    batch.taskbar.set_state(TBPF_NORMAL);
    batch.start = GetTickCount();
    PostMessageA(status_window, WM_START_BATCH, 0, 0);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (status_window != nullptr && IsDialogMessageA(status_window, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}
