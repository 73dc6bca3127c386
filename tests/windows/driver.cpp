// Drives a running q73.exe from beside it, as a user at the screen would:
// finds its windows by caption, reads their controls' texts, checks them
// and presses the buttons.  Runs under the same Wine prefix as the program.
//
//   driver wait CAPTION                 wait until that dialog is shown
//   driver about                        check the about box, press OK
//   driver compression ORIGINAL PACKED  check the compression result, close it
//   driver expansion                    check the expansion result, close it
//   driver error TEXT STATUS            check an error message box (the status
//                                       window reading STATUS), press OK
//
// Prints one "ok:" or "FAIL:" line per check; exit code 1 when any failed.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/about_text.h"
#include "app/resource_ids.h"

namespace {

const char* const kDialogClass = "#32770";
const char* const kCompressionCaption = "Compression Completed ...";
const char* const kExpansionCaption = "Expansion Completed ...";
const int kMessageTextId = 0xFFFF;  // the static that holds a message box's text
// A dialog template's id -1 reaches the control as -1 or as 0xFFFF,
// depending on the template's form.
HWND group_box(HWND dialog) {
    HWND group = GetDlgItem(dialog, -1);
    return group ? group : GetDlgItem(dialog, 0xFFFF);
}
const DWORD kTimeoutMs = 20000;

int failures = 0;

void check(bool passed, const std::string& what) {
    std::printf("%s: %s\n", passed ? "ok" : "FAIL", what.c_str());
    std::fflush(stdout);
    if (!passed) ++failures;
}

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\n') out += "\\n";
        else out += c;
    }
    return out + "\"";
}

std::string window_text(HWND window) {
    char text[2048] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string item_text(HWND dialog, int id) {
    char text[2048] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

bool is_dialog(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return std::strcmp(name, kDialogClass) == 0;
}

// The visible top-level dialog with this caption, or null.
HWND find_dialog(const char* caption) {
    HWND window = FindWindowA(kDialogClass, caption);
    return window && IsWindowVisible(window) ? window : nullptr;
}

HWND wait_for_dialog(const char* caption) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < kTimeoutMs) {
        if (HWND window = find_dialog(caption)) return window;
        Sleep(50);
    }
    return nullptr;
}

// A message box and the status window both have an empty caption; only the
// message box has an OK button.
struct EmptyCaptionSearch {
    bool want_ok_button;
    HWND found;
};

BOOL CALLBACK match_empty_caption(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<EmptyCaptionSearch*>(param);
    if (!is_dialog(window) || !IsWindowVisible(window) || !window_text(window).empty()) {
        return TRUE;
    }
    bool has_ok = GetDlgItem(window, IDOK) != nullptr;
    if (has_ok != search->want_ok_button) return TRUE;
    search->found = window;
    return FALSE;
}

HWND find_empty_caption(bool want_ok_button) {
    EmptyCaptionSearch search{want_ok_button, nullptr};
    EnumWindows(match_empty_caption, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND wait_for_message_box() {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < kTimeoutMs) {
        if (HWND window = find_empty_caption(true)) return window;
        Sleep(50);
    }
    return nullptr;
}

bool wait_until_gone(HWND window, DWORD timeout_ms) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeout_ms) {
        if (!IsWindow(window) || !IsWindowVisible(window)) return true;
        Sleep(50);
    }
    return false;
}

bool still_open_after(HWND window) {
    Sleep(400);
    return IsWindow(window) && IsWindowVisible(window);
}

LONG style_of(HWND window) { return GetWindowLongA(window, GWL_STYLE); }

// Expected size text, written out from the rule the user sees: bytes below
// one KB, else KB or MB with two decimals and the exact count behind.
std::string size_text(double bytes) {
    char text[128];
    if (bytes < 1024) {
        std::snprintf(text, sizeof text, "%.0f bytes", bytes);
    } else if (bytes < 1048576) {
        std::snprintf(text, sizeof text, "%.2f KB   (%.0f bytes)", bytes / 1024, bytes);
    } else {
        std::snprintf(text, sizeof text, "%.2f MB   (%.0f bytes)", bytes / 1048576, bytes);
    }
    return text;
}

bool file_size(const char* name, double* size) {
    HANDLE file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER length;
    BOOL got = GetFileSizeEx(file, &length);
    CloseHandle(file);
    *size = static_cast<double>(length.QuadPart);
    return got != 0;
}

// "Elapsed Time: S.CC sec." with a plausible number of seconds.
void check_elapsed_line(HWND dialog) {
    std::string line = item_text(dialog, IDC_ELAPSED_TIME);
    unsigned seconds = 0, hundredths = 0;
    char tail[16] = {};
    int fields = std::sscanf(line.c_str(), "Elapsed Time: %u.%2u sec%15s", &seconds, &hundredths,
                             tail);
    bool shaped = fields == 3 && std::strcmp(tail, ".") == 0 &&
                  line.size() >= 23 && line[line.size() - 8] == '.';
    check(shaped && seconds < 60, "the elapsed-time line reads " + quoted(line));
}

void check_result_frame(HWND dialog, const char* caption) {
    LONG style = style_of(dialog);
    LONG ex_style = GetWindowLongA(dialog, GWL_EXSTYLE);
    check(window_text(dialog) == caption, std::string("the result dialog is captioned ") + caption);
    check((style & WS_CAPTION) == WS_CAPTION && (style & WS_SYSMENU),
          "the result dialog has a caption with a system menu");
    check((ex_style & WS_EX_CLIENTEDGE) != 0, "the result dialog has a client edge");
}

// A result dialog ignores every way of closing it but its OK button.
void check_stays_open(HWND dialog, HWND ok_button) {
    SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    check(still_open_after(dialog), "the cancel command leaves the result dialog open");
    SendMessageA(dialog, WM_CLOSE, 0, 0);
    check(still_open_after(dialog), "WM_CLOSE leaves the result dialog open");
    // A key goes through the dialog's own message loop, which turns Escape
    // into the cancel command.
    PostMessageA(ok_button, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageA(ok_button, WM_KEYUP, VK_ESCAPE, 0);
    check(still_open_after(dialog), "the Escape key leaves the result dialog open");
}

// While a result dialog or a message box is up, the status window is still
// there, without a caption, telling what the job was doing.
void check_status_window(const char* expected) {
    HWND status = find_empty_caption(false);
    check(status != nullptr, "the status window is still shown");
    if (!status) return;
    check(item_text(status, IDC_STATUS_TEXT) == expected,
          std::string("the status window reads ") + quoted(item_text(status, IDC_STATUS_TEXT)) +
              ", expected " + quoted(expected));
    LONG style = style_of(status);
    check((style & WS_CAPTION) != WS_CAPTION && !(style & WS_SYSMENU),
          "the status window has no caption and no system menu");
}

void check_no_result_dialog() {
    Sleep(1000);
    check(!find_dialog(kCompressionCaption) && !find_dialog(kExpansionCaption),
          "no result dialog follows");
}

int run_wait(const char* caption) {
    check(wait_for_dialog(caption) != nullptr, std::string("a dialog captioned ") + caption +
                                                   " appears");
    return failures ? 1 : 0;
}

int run_about() {
    HWND box = wait_for_dialog(kAboutCaption);
    check(box != nullptr, std::string("the about box captioned ") + kAboutCaption + " appears");
    if (!box) return 1;
    std::string text = item_text(box, kMessageTextId);
    check(text == kAboutText, "the about text is exact: " + quoted(text));
    HWND ok = GetDlgItem(box, IDOK);
    check(ok != nullptr && GetDlgItem(box, IDCANCEL) == nullptr,
          "the about box has one OK button");
    check(find_empty_caption(false) == nullptr, "no status window is shown with the about box");
    if (ok) SendMessageA(ok, BM_CLICK, 0, 0);
    check(wait_until_gone(box, 5000), "OK closes the about box");
    return failures ? 1 : 0;
}

int run_compression(const char* original, const char* packed) {
    double original_size = 0, packed_size = 0;
    check(file_size(original, &original_size), std::string("the original file ") + original +
                                                    " is there");
    HWND dialog = wait_for_dialog(kCompressionCaption);
    check(dialog != nullptr, "the compression result dialog appears");
    if (!dialog) return 1;
    check(file_size(packed, &packed_size), std::string("the compressed file ") + packed +
                                                " is there");
    check_result_frame(dialog, kCompressionCaption);
    check_status_window("Compressing...");

    std::string expected = "Original Size: " + size_text(original_size);
    std::string shown = item_text(dialog, IDC_UNCOMPRESSED_SIZE);
    check(shown == expected, "original size " + quoted(shown) + ", expected " + quoted(expected));
    expected = "Compressed Size: " + size_text(packed_size);
    shown = item_text(dialog, IDC_COMPRESSED_SIZE);
    check(shown == expected, "compressed size " + quoted(shown) + ", expected " +
                                 quoted(expected));
    char percent[64];
    std::snprintf(percent, sizeof percent, "Percent Reduced: %.2f%%   ",
                  100 - packed_size / original_size * 100);
    expected = percent + size_text(original_size - packed_size);
    shown = item_text(dialog, IDC_PERCENT_REDUCED);
    check(shown == expected, "percent reduced " + quoted(shown) + ", expected " +
                                 quoted(expected));
    check_elapsed_line(dialog);

    HWND group = group_box(dialog);
    check(group != nullptr && (style_of(group) & 0xF) == BS_GROUPBOX &&
              window_text(group).empty(),
          "the size lines sit in a group box without text");
    HWND ok = GetDlgItem(dialog, IDC_COMPRESSION_OK);
    check(ok != nullptr && (style_of(ok) & 0xF) == BS_DEFPUSHBUTTON &&
              window_text(ok) == "OK",
          "the OK button is the default push button");
    if (!ok) return 1;

    check_stays_open(dialog, ok);
    // Enter presses the default button through the same key path that
    // Escape took above, so the dialog now closes.
    PostMessageA(ok, WM_KEYDOWN, VK_RETURN, 0);
    PostMessageA(ok, WM_KEYUP, VK_RETURN, 0);
    check(wait_until_gone(dialog, 5000), "Enter presses OK and closes the compression dialog");
    return failures ? 1 : 0;
}

int run_expansion() {
    HWND dialog = wait_for_dialog(kExpansionCaption);
    check(dialog != nullptr, "the expansion result dialog appears");
    if (!dialog) return 1;
    check_result_frame(dialog, kExpansionCaption);
    check_status_window("Expanding...");
    check_elapsed_line(dialog);
    check(GetDlgItem(dialog, IDC_UNCOMPRESSED_SIZE) == nullptr &&
              GetDlgItem(dialog, IDC_PERCENT_REDUCED) == nullptr,
          "the expansion dialog shows no sizes");
    HWND ok = GetDlgItem(dialog, IDC_EXPANSION_OK);
    check(ok != nullptr && (style_of(ok) & 0xF) == BS_PUSHBUTTON && window_text(ok) == "OK",
          "the OK button is a plain push button");
    if (!ok) return 1;
    check_stays_open(dialog, ok);
    SendMessageA(ok, BM_CLICK, 0, 0);
    check(wait_until_gone(dialog, 5000), "OK closes the expansion dialog");
    return failures ? 1 : 0;
}

int run_error(const char* expected, const char* status_text) {
    HWND box = wait_for_message_box();
    check(box != nullptr, "a message box with an empty caption appears");
    if (!box) return 1;
    std::string text = item_text(box, kMessageTextId);
    check(text == expected, "the message reads " + quoted(text));
    check_status_window(status_text);
    SendMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    check(wait_until_gone(box, 5000), "OK closes the message box");
    check_no_result_dialog();
    return failures ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string command = argc > 1 ? argv[1] : "";
    if (command == "wait" && argc == 3) return run_wait(argv[2]);
    if (command == "about" && argc == 2) return run_about();
    if (command == "compression" && argc == 4) return run_compression(argv[2], argv[3]);
    if (command == "expansion" && argc == 2) return run_expansion();
    if (command == "error" && argc == 4) return run_error(argv[2], argv[3]);
    std::fprintf(stderr,
                 "usage: driver wait CAPTION | about | compression ORIGINAL PACKED |"
                 " expansion | error TEXT STATUS\n");
    return 2;
}
