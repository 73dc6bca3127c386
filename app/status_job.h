// The status window's procedure, which runs the whole job, and the two
// result dialogs' procedures.
//
// The job opens both files through the container, writes the length field,
// times the codec alone, closes the files and shows the result dialog
// modally, owned by the status window.  Any failure is reported once in a
// message box; a job stopped after its output was created removes that
// incomplete output, and shows no result dialog.
#pragma once

#include <cstdint>

#include "job/job_control.h"
#include "platform/win32.h"

extern HINSTANCE instance_handle;
extern HWND status_window;
extern char file_name[1024];

extern uint32_t start_ticks;
extern uint32_t end_ticks;
extern double uncompressed_size;
extern double compressed_size;

// Set when a job stopped on a reported failure or on request.
extern bool job_failed;

// The running job's stop request and progress.
extern JobControl job_control;
// Workers a job uses: 0 for every processor the program may use.
extern int requested_threads;

INT_PTR status_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR compression_completed_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR expansion_completed_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// The two jobs, as the status procedure runs them.
void compress_job(HWND dialog);
void expand_job(HWND dialog);
