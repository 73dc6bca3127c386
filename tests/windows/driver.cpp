// Drives a running q73.exe from beside it, as a user at the screen would:
// finds its windows by caption, reads their controls' texts, checks them
// and presses the buttons.  Runs under the same Wine prefix as the program.
//
//   driver wait CAPTION                 wait until that dialog is shown
//   driver about                        check the about box, press OK
//   driver compression ORIGINAL PACKED [ORIGINAL PACKED...]
//                                       check the compression result (the totals
//                                       of the pairs), close it
//   driver expansion                    check the expansion result, close it
//   driver error TEXT STATUS            check an error message box (the status
//                                       window reading STATUS), press OK
//   driver progress STATUS NAME SHOT.bmp
//                                       while a long job runs: the status window
//                                       answers at once, names the file, its bar
//                                       moves on screen, a second job command
//                                       is ignored; a screenshot mid-job; waits
//                                       for the job's result dialog
//   driver cancel HOW STATUS [LINE]     once a long job has started (on the file
//                                       the file line names LINE), stops it by
//                                       HOW (button, escape or close); it ends
//                                       within half a second, silently
//   driver running STATUS               waits until a long job has started
//   driver batch ERROR LINE...          while a batch runs, its status window
//                                       names each LINE in turn; then one message
//                                       box reads ERROR ("-" for none)
//   driver absent NAME...               none of these files exists (yet)
//   driver codepage                     this program, built with q73.exe's
//                                       manifest, runs in the UTF-8 code page
//
// Prints one "ok:" or "FAIL:" line per check; exit code 1 when any failed.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

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

// A UTF-8 name as the wide file calls take it; a full path that is too long
// for them as it stands gets the extended-length prefix.
std::wstring wide_name(const char* name) {
    int length = MultiByteToWideChar(CP_UTF8, 0, name, -1, nullptr, 0);
    std::wstring wide(length > 0 ? static_cast<size_t>(length) : 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, name, -1, &wide[0], length);
    wide.resize(wide.size() - 1);
    bool full = wide.size() > 2 && wide[1] == L':' && wide[2] == L'\\';
    return full && wide.size() >= MAX_PATH ? L"\\\\?\\" + wide : wide;
}

bool file_size(const char* name, double* size) {
    HANDLE file = CreateFileW(wide_name(name).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
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

int run_compression(int count, char** pairs) {
    double original_size = 0, packed_size = 0;
    for (int i = 0; i < count; i += 2) {
        double size = 0;
        check(file_size(pairs[i], &size), std::string("the original file ") + pairs[i] +
                                              " is there");
        original_size += size;
    }
    HWND dialog = wait_for_dialog(kCompressionCaption);
    check(dialog != nullptr, "the compression result dialog appears");
    if (!dialog) return 1;
    for (int i = 1; i < count; i += 2) {
        double size = 0;
        check(file_size(pairs[i], &size), std::string("the compressed file ") + pairs[i] +
                                              " is there");
        packed_size += size;
    }
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

// --- a long job --------------------------------------------------------

const UINT kAnswerMs = 1000;  // what "answers at once" means for a read
const DWORD kLongJobMs = 150000;

// Sends a message that another program's window has to answer, and times
// the answer.  False when no answer came within kAnswerMs.
bool timed_send(HWND window, UINT message, WPARAM wparam, LPARAM lparam, DWORD_PTR* result,
                double* elapsed_ms) {
    LARGE_INTEGER frequency, before, after;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&before);
    LRESULT sent = SendMessageTimeoutA(window, message, wparam, lparam, SMTO_ABORTIFHUNG,
                                       kAnswerMs, result);
    QueryPerformanceCounter(&after);
    *elapsed_ms = 1000.0 * static_cast<double>(after.QuadPart - before.QuadPart) /
                  static_cast<double>(frequency.QuadPart);
    return sent != 0 && *elapsed_ms < kAnswerMs;
}

// The screen's pixels in a rectangle, as 0x00RRGGBB rows from the top.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<DWORD> data;
    DWORD at(int x, int y) const { return data[static_cast<size_t>(y) * width + x]; }
};

Pixels read_screen(const RECT& area) {
    Pixels pixels;
    pixels.width = area.right - area.left;
    pixels.height = area.bottom - area.top;
    if (pixels.width <= 0 || pixels.height <= 0) return pixels;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = pixels.width;
    info.bmiHeader.biHeight = -pixels.height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && bits) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, pixels.width, pixels.height, screen, area.left, area.top, SRCCOPY);
        GdiFlush();
        const DWORD* first = static_cast<const DWORD*>(bits);
        pixels.data.assign(first, first + static_cast<size_t>(pixels.width) * pixels.height);
        for (DWORD& pixel : pixels.data) pixel &= 0xFFFFFF;
        SelectObject(memory, old);
    }
    if (bitmap) DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (pixels.data.empty()) pixels.width = pixels.height = 0;
    return pixels;
}

// A 24-bit BMP file of the pixels, for the screenshots beside the others.
bool write_bmp(const char* name, const Pixels& pixels) {
    int row_bytes = (pixels.width * 3 + 3) & ~3;
    BITMAPFILEHEADER file_header = {};
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = pixels.width;
    header.biHeight = pixels.height;  // bottom-up, the form every reader takes
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(row_bytes) * pixels.height;
    file_header.bfType = 0x4D42;
    file_header.bfOffBits = sizeof file_header + sizeof header;
    file_header.bfSize = file_header.bfOffBits + header.biSizeImage;
    FILE* file = std::fopen(name, "wb");
    if (!file) return false;
    bool ok = std::fwrite(&file_header, sizeof file_header, 1, file) == 1 &&
              std::fwrite(&header, sizeof header, 1, file) == 1;
    std::vector<unsigned char> row(static_cast<size_t>(row_bytes), 0);
    for (int y = pixels.height - 1; ok && y >= 0; --y) {
        for (int x = 0; x < pixels.width; ++x) {
            DWORD pixel = pixels.at(x, y);
            row[3 * x] = static_cast<unsigned char>(pixel);
            row[3 * x + 1] = static_cast<unsigned char>(pixel >> 8);
            row[3 * x + 2] = static_cast<unsigned char>(pixel >> 16);
        }
        ok = std::fwrite(row.data(), row.size(), 1, file) == 1;
    }
    return std::fclose(file) == 0 && ok;
}

DWORD rgb_of(COLORREF colour) {
    return (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
}

// The filled part of the bar as drawn: the columns of its middle row, inside
// the border, that show the fill colour.
int filled_columns(const Pixels& bar, DWORD fill) {
    if (bar.height < 3) return 0;
    int columns = 0;
    for (int x = 0; x < bar.width; ++x) columns += bar.at(x, bar.height / 2) == fill;
    return columns;
}

std::string colour_text(DWORD colour) {
    char text[16];
    std::snprintf(text, sizeof text, "#%06lX", static_cast<unsigned long>(colour));
    return text;
}

// One look at the running job.
struct Sample {
    bool answered;       // the status text and the bar's position came in time
    double text_ms;      // how long the status text took
    std::string text;
    DWORD_PTR position;  // read before and after the screen
    DWORD_PTR position_after;
    int filled;          // columns of the bar drawn in the fill colour
};

Sample take_sample(HWND text_control, HWND bar, DWORD fill) {
    Sample sample = {};
    char text[256] = {};
    double ms = 0;
    DWORD_PTR length = 0;
    sample.answered = timed_send(text_control, WM_GETTEXT, sizeof text,
                                 reinterpret_cast<LPARAM>(text), &length, &sample.text_ms);
    sample.text = text;
    sample.answered &= timed_send(bar, PBM_GETPOS, 0, 0, &sample.position, &ms);
    RECT area;
    GetWindowRect(bar, &area);
    sample.filled = filled_columns(read_screen(area), fill);
    sample.answered &= timed_send(bar, PBM_GETPOS, 0, 0, &sample.position_after, &ms);
    return sample;
}

bool job_over() { return find_dialog(kCompressionCaption) || find_dialog(kExpansionCaption); }

// The status window of a running job, its text and its bar, found once the
// job has started: the status reads `expected` and the bar has left its
// start.  Null members when it did not come to that.
struct RunningJob {
    HWND status = nullptr;
    HWND text = nullptr;
    HWND bar = nullptr;
    DWORD_PTR low = 0;
    DWORD_PTR high = 0;
    DWORD fill = 0;
    Sample started = {};
};

RunningJob wait_for_running_job(const char* expected, const char* file_line = nullptr) {
    RunningJob job;
    DWORD start = GetTickCount();
    while (!job.status && GetTickCount() - start < kTimeoutMs) {
        job.status = find_empty_caption(false);
        if (!job.status) Sleep(20);
    }
    check(job.status != nullptr, "the status window appears");
    if (!job.status) return job;
    job.text = GetDlgItem(job.status, IDC_STATUS_TEXT);
    job.bar = GetDlgItem(job.status, IDC_PROGRESS);
    char name[64] = {};
    if (job.bar) GetClassNameA(job.bar, name, sizeof name);
    check(job.bar != nullptr && _stricmp(name, PROGRESS_CLASSA) == 0,
          std::string("the status window holds a progress bar (") + name + ")");
    if (!job.bar || !job.text) {
        job.status = nullptr;
        return job;
    }
    double ms = 0;
    bool range_read = timed_send(job.bar, PBM_GETRANGE, TRUE, 0, &job.low, &ms) &&
                      timed_send(job.bar, PBM_GETRANGE, FALSE, 0, &job.high, &ms);
    check(range_read && job.high > job.low, "the bar's range is read: " +
                                                std::to_string(job.low) + " to " +
                                                std::to_string(job.high));
    // The bar's fill colour: the system's highlight colour unless a visual
    // style draws it.  What it really is shows on screen once it has moved.
    job.fill = rgb_of(GetSysColor(COLOR_HIGHLIGHT));
    Sample sample = {};
    while (GetTickCount() - start < kTimeoutMs && !job_over()) {
        sample = take_sample(job.text, job.bar, job.fill);
        bool on_file = !file_line || item_text(job.status, IDC_FILE_NAME) == file_line;
        if (sample.answered && sample.position > job.low && sample.text == expected && on_file) {
            break;
        }
        Sleep(10);
    }
    bool started = sample.position > job.low && sample.position < job.high &&
                   sample.text == expected &&
                   (!file_line || item_text(job.status, IDC_FILE_NAME) == file_line);
    check(started, "the job is under way: the status reads " + quoted(sample.text) +
                       ", the bar at " + std::to_string(sample.position));
    if (!started) job.status = nullptr;
    job.started = sample;
    return job;
}

int run_progress(const char* expected, const char* file_line, const char* shot_name) {
    RunningJob job = wait_for_running_job(expected);
    if (!job.status) return 1;
    RECT window_area, text_area, bar_area;
    GetWindowRect(job.status, &window_area);
    GetWindowRect(job.text, &text_area);
    GetWindowRect(job.bar, &bar_area);
    check(bar_area.top >= text_area.bottom && bar_area.bottom <= window_area.bottom &&
              bar_area.left >= window_area.left && bar_area.right <= window_area.right,
          "the bar lies under the status text, inside the window");
    std::string named = item_text(job.status, IDC_FILE_NAME);
    check(named == file_line, "the status window names the file: " + quoted(named));
    HWND cancel = GetDlgItem(job.status, IDCANCEL);
    check(cancel != nullptr && window_text(cancel) == "Cancel",
          "the status window has a Cancel button");

    std::vector<Sample> samples;
    const int kSamples = 20;
    const double kLookMs = 50;
    DWORD_PTR before_attempt = 0;
    bool attempt_made = false;
    double ms = 0;
    // The looks are close enough that all twenty fall inside the big job
    // even when the codec has both processors to itself.
    while (static_cast<int>(samples.size()) < kSamples && !job_over()) {
        Sleep(40);
        Sample sample = take_sample(job.text, job.bar, job.fill);
        if (sample.position >= job.high) break;  // the codec is done: no longer mid-job
        samples.push_back(sample);
        if (samples.size() == 17) {
            RECT screen_area = {0, 0, GetSystemMetrics(SM_CXSCREEN),
                                GetSystemMetrics(SM_CYSCREEN)};
            check(write_bmp(shot_name, read_screen(screen_area)),
                  std::string("a screenshot mid-job is written to ") + shot_name);
        }
        if (samples.size() == 10) {
            // A second job asked for while one runs changes nothing.
            before_attempt = sample.position_after;
            DWORD_PTR result = 0;
            attempt_made = timed_send(job.status, WM_COMMAND, IDM_COMPRESS, 0, &result, &ms) &&
                           timed_send(job.status, WM_COMMAND, IDM_EXPAND, 0, &result, &ms);
        }
    }
    check(samples.size() == kSamples,
          "the job is still running after " + std::to_string(samples.size()) + " looks");
    if (samples.empty()) return 1;

    double slowest = 0;
    bool all_answered = true, all_read = true, inside = true, rising = true;
    DWORD_PTR low = job.low, high = job.high;
    for (size_t i = 0; i < samples.size(); ++i) {
        const Sample& s = samples[i];
        all_answered &= s.answered;
        all_read &= s.text == expected;
        if (s.text_ms > slowest) slowest = s.text_ms;
        inside &= s.position > low && s.position_after < high;
        if (i > 0) rising &= s.position >= samples[i - 1].position_after;
        std::printf("  look %zu: %.1f ms for %s, bar at %.1f%%, %d columns filled\n", i + 1,
                    s.text_ms, quoted(s.text).c_str(),
                    100.0 * static_cast<double>(s.position - low) / static_cast<double>(high - low),
                    s.filled);
    }
    char slowest_text[32];
    std::snprintf(slowest_text, sizeof slowest_text, "%.1f ms", slowest);
    check(all_answered && slowest < kLookMs,
          std::string("every read of the status window is answered within 50 ms (slowest ") +
              slowest_text + ")");
    check(all_read, std::string("the status text reads ") + quoted(expected) + " throughout");
    check(inside, "the bar's position stays strictly between its ends");
    check(rising && samples.back().position > samples.front().position,
          "the bar's position rises");

    const Sample& first = samples.front();
    const Sample& last = samples.back();
    int inner = (bar_area.right - bar_area.left);
    double drawn = static_cast<double>(last.filled) / inner;
    double told = static_cast<double>(last.position - low) / static_cast<double>(high - low);
    double told_after = static_cast<double>(last.position_after - low) /
                        static_cast<double>(high - low);
    check(first.filled > 0 && last.filled > first.filled,
          "the filled part grows on screen, in " + colour_text(job.fill) + ": " +
              std::to_string(first.filled) + " to " + std::to_string(last.filled) +
              " columns of " + std::to_string(inner));
    check(drawn > told - 0.15 && drawn < told_after + 0.15,
          "the filled part on screen matches the bar's position");
    check(attempt_made && IsWindowVisible(job.status) && last.position > before_attempt,
          "a second job command leaves the job running");
    // The rest of a big job takes a while on a busy machine.
    DWORD waited = GetTickCount();
    while (!job_over() && GetTickCount() - waited < kLongJobMs) Sleep(100);
    check(job_over(), "the job runs to its end and shows its result dialog");
    return failures ? 1 : 0;
}

// Stops a running job as a user would and times how long the status window
// stays: the job ends between two blocks, its output is removed and the
// program ends without another window.  "none" only waits for the job to
// run (for a test that ends the process from outside).
int run_cancel(const char* how, const char* expected, const char* file_line) {
    RunningJob job = wait_for_running_job(expected, file_line);
    if (!job.status) return 1;
    std::string way = how;
    if (way == "none") return failures ? 1 : 0;
    HWND button = GetDlgItem(job.status, IDCANCEL);
    check(button != nullptr && window_text(button) == "Cancel",
          "the status window has a Cancel button");
    if (!button) return 1;
    LARGE_INTEGER frequency, before, after;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&before);
    if (way == "button") {
        SendMessageA(button, BM_CLICK, 0, 0);
    } else if (way == "escape") {
        PostMessageA(job.status, WM_KEYDOWN, VK_ESCAPE, 0);
        PostMessageA(job.status, WM_KEYUP, VK_ESCAPE, 0);
    } else {
        PostMessageA(job.status, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
    bool gone = false;
    while (!gone) {
        QueryPerformanceCounter(&after);
        if (after.QuadPart - before.QuadPart > 5 * frequency.QuadPart) break;
        gone = !IsWindow(job.status) || !IsWindowVisible(job.status);
        if (!gone) Sleep(2);
    }
    double ms = 1000.0 * static_cast<double>(after.QuadPart - before.QuadPart) /
                static_cast<double>(frequency.QuadPart);
    char text[96];
    std::snprintf(text, sizeof text, "%.0f ms after the %s, mid-job", ms, how);
    check(gone && ms < 500, std::string("the status window is gone ") + text);
    check_no_result_dialog();
    check(find_empty_caption(true) == nullptr, "no message box follows");
    return failures ? 1 : 0;
}

// Reads the status window's file line as often as it can while a batch
// runs, until a message box or a result dialog comes up.
int run_batch(const char* error, int count, char** lines) {
    DWORD start = GetTickCount();
    HWND status = nullptr;
    while (!status && GetTickCount() - start < kTimeoutMs) {
        status = find_empty_caption(false);
        if (!status) Sleep(5);
    }
    check(status != nullptr, "the status window appears");
    if (!status) return 1;
    std::vector<std::string> seen;
    while (GetTickCount() - start < kTimeoutMs && IsWindow(status)) {
        char text[512] = {};
        DWORD_PTR length = 0;
        if (SendMessageTimeoutA(GetDlgItem(status, IDC_FILE_NAME), WM_GETTEXT, sizeof text,
                                reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 1000,
                                &length) &&
            (seen.empty() || seen.back() != text)) {
            seen.push_back(text);
        }
        if (find_empty_caption(true) || job_over()) break;
        Sleep(1);
    }
    std::string shown;
    for (const std::string& line : seen) shown += " " + quoted(line);
    size_t at = 0;
    for (int i = 0; i < count; ++i) {
        while (at < seen.size() && seen[at] != lines[i]) ++at;
        check(at < seen.size(), std::string("the status window named ") + quoted(lines[i]) +
                                    " in its turn (it read" + shown + ")");
        if (at == seen.size()) at = 0;
    }
    if (std::strcmp(error, "-") == 0) {
        check(find_empty_caption(true) == nullptr, "no message box comes up");
        return failures ? 1 : 0;
    }
    HWND box = wait_for_message_box();
    check(box != nullptr, "one message box comes up");
    if (!box) return 1;
    std::string text = item_text(box, kMessageTextId);
    check(text == error, "it reads " + quoted(text));
    SendMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    check(wait_until_gone(box, 5000), "OK closes the message box");
    return failures ? 1 : 0;
}

int run_absent(int count, char** names) {
    for (int i = 0; i < count; ++i) {
        double size = 0;
        check(!file_size(names[i], &size), std::string("there is no file ") + names[i] + " yet");
    }
    return failures ? 1 : 0;
}

int run_codepage() {
    check(GetACP() == CP_UTF8, "with q73.exe's manifest the code page is " +
                                   std::to_string(GetACP()) + ", expected 65001 (UTF-8)");
    return failures ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string command = argc > 1 ? argv[1] : "";
    if (command == "wait" && argc == 3) return run_wait(argv[2]);
    if (command == "about" && argc == 2) return run_about();
    if (command == "compression" && argc >= 4 && argc % 2 == 0) {
        return run_compression(argc - 2, argv + 2);
    }
    if (command == "expansion" && argc == 2) return run_expansion();
    if (command == "error" && argc == 4) return run_error(argv[2], argv[3]);
    if (command == "progress" && argc == 5) return run_progress(argv[2], argv[3], argv[4]);
    if (command == "cancel" && (argc == 4 || argc == 5)) {
        return run_cancel(argv[2], argv[3], argc == 5 ? argv[4] : nullptr);
    }
    if (command == "running" && argc == 3) return run_cancel("none", argv[2], nullptr);
    if (command == "batch" && argc >= 4) return run_batch(argv[2], argc - 3, argv + 3);
    if (command == "absent" && argc >= 3) return run_absent(argc - 2, argv + 2);
    if (command == "codepage" && argc == 2) return run_codepage();
    std::fprintf(stderr,
                 "usage: driver wait CAPTION | about | compression ORIGINAL PACKED... |"
                 " expansion | error TEXT STATUS | progress STATUS NAME SHOT.bmp |"
                 " cancel button|escape|close STATUS [LINE] | running STATUS |"
                 " batch ERROR LINE... | absent NAME... | codepage\n");
    return 2;
}
