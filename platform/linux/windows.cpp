// Windows, dialogs and message boxes as terminal text.
//
// A window is a small record of its procedure and its controls' texts.
// Messages are delivered by calling the procedure directly, which is what
// SendMessage does for a window of the calling thread.  A modal dialog is
// initialised, activated, printed, and closed by pressing its OK button.
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "platform/linux/progress_line.h"
#include "platform/linux/text_dialogs.h"
#include "platform/win32.h"

struct Win32Window {
    int template_id;
    DLGPROC proc;
    bool modal;
    bool ended;
    INT_PTR result;
    std::map<int, std::string> texts;
    // The status window's progress bar: its range's upper end and position.
    int64_t progress_end;
    int64_t progress_position;
};

static const TextDialogLayout* layouts;
static int layout_count;
static bool message_boxes_only;
static FILE* result_stream = stdout;

void show_message_boxes_only() {
    message_boxes_only = true;
    disable_progress_line();
}

void print_results_to_stderr() {
    result_stream = stderr;
}

void register_text_dialog_layouts(const TextDialogLayout* list, int count) {
    layouts = list;
    layout_count = count;
}

static const TextDialogLayout* layout_for(int template_id) {
    for (int i = 0; i < layout_count; ++i) {
        if (layouts[i].template_id == template_id) return &layouts[i];
    }
    return nullptr;
}

static int template_number(LPCSTR templ) {
    return static_cast<int>(reinterpret_cast<uintptr_t>(templ));
}

HMODULE LoadLibraryA(LPCSTR) { return nullptr; }

void InitCommonControls(void) {}

HWND CreateDialogParamA(HINSTANCE, LPCSTR templ, HWND, DLGPROC proc, LPARAM param) {
    HWND window = new Win32Window{template_number(templ), proc, false, false, 0, {}, 0, 0};
    proc(window, WM_INITDIALOG, 0, param);
    return window;
}

BOOL ShowWindow(HWND window, int) { return window != nullptr; }

LRESULT SendMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (window == nullptr || window->proc == nullptr) return 0;
    return window->proc(window, message, wparam, lparam);
}

BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
    if (dialog == nullptr) return FALSE;
    dialog->texts[id] = text;
    if (!dialog->modal && !message_boxes_only) {
        clear_progress_line();
        std::fprintf(stderr, "%s\n", text);
        std::fflush(stderr);
    }
    return TRUE;
}

UINT GetDlgItemTextA(HWND dialog, int id, LPSTR text, int size) {
    if (dialog == nullptr || size <= 0) return 0;
    auto found = dialog->texts.find(id);
    std::string value = found == dialog->texts.end() ? std::string() : found->second;
    size_t length = value.size() < static_cast<size_t>(size - 1) ? value.size() : size - 1;
    std::memcpy(text, value.data(), length);
    text[length] = '\0';
    return static_cast<UINT>(length);
}

INT_PTR DialogBoxParamA(HINSTANCE, LPCSTR templ, HWND, DLGPROC proc, LPARAM param) {
    Win32Window dialog{template_number(templ), proc, true, false, 0, {}, 0, 0};
    proc(&dialog, WM_INITDIALOG, 0, param);
    proc(&dialog, WM_ACTIVATE, WA_ACTIVE, 0);
    const TextDialogLayout* layout = layout_for(dialog.template_id);
    if (layout == nullptr) return -1;
    clear_progress_line();
    for (int i = 0; i < layout->line_count && !message_boxes_only; ++i) {
        std::fprintf(result_stream, "%s\n", dialog.texts[layout->lines[i]].c_str());
    }
    std::fflush(result_stream);
    proc(&dialog, WM_COMMAND, static_cast<WPARAM>(layout->ok_button), 0);
    return dialog.ended ? dialog.result : -1;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    if (dialog == nullptr) return FALSE;
    dialog->ended = true;
    dialog->result = result;
    if (!dialog->modal) {
        clear_progress_line();
        delete dialog;
    }
    return TRUE;
}

int MessageBoxA(HWND, LPCSTR text, LPCSTR, UINT) {
    clear_progress_line();
    std::fprintf(stderr, "%s\n", text);
    std::fflush(stderr);
    return IDOK;
}

LRESULT SendDlgItemMessageA(HWND dialog, int, UINT message, WPARAM wparam, LPARAM lparam) {
    if (dialog == nullptr) return 0;
    if (message == PBM_SETRANGE32) {
        dialog->progress_end = lparam;
        start_progress_line(dialog->progress_end);
    } else if (message == PBM_SETPOS) {
        LRESULT previous = static_cast<LRESULT>(dialog->progress_position);
        dialog->progress_position = static_cast<int64_t>(wparam);
        move_progress_line(dialog->progress_position);
        return previous;
    } else if (message == PBM_GETPOS) {
        return static_cast<LRESULT>(dialog->progress_position);
    }
    return 0;
}

BOOL PeekMessageA(MSG*, HWND, UINT, UINT, UINT) { return FALSE; }
BOOL IsDialogMessageA(HWND, MSG*) { return FALSE; }
BOOL TranslateMessage(const MSG*) { return FALSE; }
LRESULT DispatchMessageA(const MSG*) { return 0; }
void PostQuitMessage(int) {}
