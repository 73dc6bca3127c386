#include "platform/linux/progress_line.h"

#include <csignal>
#include <cstdio>
#include <unistd.h>

#include "platform/win32.h"

// A run shows no line before this much time has gone, and redraws it no
// more often than this.
constexpr DWORD kQuietStartMs = 1000;
constexpr DWORD kRedrawIntervalMs = 250;

// Carriage return and erase to the end of the line.
static const char kClear[] = "\r\033[K";

static bool disabled;
static bool drawing;  // this run may draw: standard error is a terminal
static int64_t run_total;
static DWORD run_start;
static DWORD last_draw;
static volatile sig_atomic_t line_shown;

void disable_progress_line() {
    disabled = true;
}

// A signal that ends the program while the line is shown (a closed pipe
// behind standard output, an interrupt) first takes the line away, then
// ends the program as it would have without this handler.
static void clear_and_end(int signal_number) {
    if (line_shown) {
        ssize_t ignored = write(STDERR_FILENO, kClear, sizeof kClear - 1);
        (void)ignored;
    }
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
}

static void install_handlers() {
    static bool installed;
    if (installed) return;
    installed = true;
    static const int kSignals[] = {SIGPIPE, SIGINT, SIGTERM, SIGHUP};
    for (int signal_number : kSignals) {
        struct sigaction current;
        // A signal that the caller ignores stays ignored.
        if (sigaction(signal_number, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) {
            continue;
        }
        struct sigaction action = {};
        action.sa_handler = clear_and_end;
        sigemptyset(&action.sa_mask);
        sigaction(signal_number, &action, nullptr);
    }
}

// "1023 B", "12.3 KB", "456.7 MB", "1.9 GB", in units of 1024.
static void format_amount(double bytes, char* out, size_t capacity) {
    static const char* const kUnits[] = {"B", "KB", "MB", "GB"};
    int unit = 0;
    while (bytes >= 1024.0 && unit < 3) {
        bytes /= 1024.0;
        ++unit;
    }
    std::snprintf(out, capacity, unit == 0 ? "%.0f %s" : "%.1f %s", bytes, kUnits[unit]);
}

void start_progress_line(int64_t total) {
    clear_progress_line();
    drawing = !disabled && total > 0 && isatty(STDERR_FILENO);
    run_total = total;
    run_start = GetTickCount();
    last_draw = run_start;
}

void move_progress_line(int64_t position) {
    if (!drawing) return;
    if (position >= run_total) {
        clear_progress_line();
        return;
    }
    DWORD now = GetTickCount();
    DWORD elapsed = now - run_start;
    if (elapsed <= kQuietStartMs) return;
    if (line_shown && now - last_draw < kRedrawIntervalMs) return;
    last_draw = now;
    install_handlers();

    int64_t done = position < 0 ? 0 : position;
    int percent = static_cast<int>(done * 100 / run_total);
    char done_text[32];
    char total_text[32];
    char speed_text[32];
    format_amount(static_cast<double>(done), done_text, sizeof done_text);
    format_amount(static_cast<double>(run_total), total_text, sizeof total_text);
    format_amount(static_cast<double>(done) * 1000.0 / elapsed, speed_text, sizeof speed_text);
    std::fprintf(stderr, "\r%3d%%  %s of %s  %s/s\033[K", percent, done_text, total_text,
                 speed_text);
    std::fflush(stderr);
    line_shown = 1;
}

void clear_progress_line() {
    if (!line_shown) return;
    std::fputs(kClear, stderr);
    std::fflush(stderr);
    line_shown = 0;
}
