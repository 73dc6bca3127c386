// The status window's procedure, which runs the whole job, and the two
// result dialogs' procedures.
//
// The job opens both files through the container, writes the length field,
// times the codec alone, closes the files and shows the result dialog
// modally, owned by the status window.  Any failure is reported once in a
// message box; a job stopped after its output was created removes that
// incomplete output, and shows no result dialog.  The Windows program runs
// the same steps (begin_*, run_codec, end_job below) from its batch, with
// the codec on a worker thread (app/batch_windows.cpp).
#pragma once

#include <cstdint>

#include "app/job_control.h"
#include "format/container.h"
#include "platform/win32.h"
#include "q73.h"

extern HINSTANCE instance_handle;
extern HWND status_window;
extern char file_name[1024];

extern uint32_t start_ticks;
extern uint32_t end_ticks;
extern double uncompressed_size;
extern double compressed_size;

// Set when a job stopped on a reported failure or on request.
extern bool job_failed;

// The running job's files and choices, and its stop request and progress.
extern JobFiles job_files;
extern JobControl job_control;
// Workers a job uses: 0 for every processor the program may use.
extern int requested_threads;

INT_PTR status_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR compression_completed_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR expansion_completed_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// The two jobs, as the status procedure runs them.
void compress_job(HWND dialog);
void expand_job(HWND dialog);

// A job in three steps, for a program that runs the codec on a thread of its
// own.  begin_* (on the windows' thread) opens both files and writes the
// file is created, with the status text set in `dialog`; false on a
// reported failure.  run_codec (on any one thread at a time) runs the
// library's job on the two files with job_control.  end_job (on the windows' thread again) removes the output
// of a stopped or failed job, reporting a failure, or puts a finished one in
// place; true when the output is in place, with the sizes of a compression
// in uncompressed_size and compressed_size.
struct JobPlan {
    bool expand = false;
    int64_t base = 0;     // bytes of the uncompressed file done before the library's job
    int64_t total = 0;    // the uncompressed file's length
    int32_t length = 0;   // the uncompressed file's length, as the container found it
};
bool begin_compress(HWND dialog, JobPlan* plan);
bool begin_expand(HWND dialog, JobPlan* plan);
q73_result run_codec(const JobPlan& plan);
bool end_job(const JobPlan& plan, q73_result status);
