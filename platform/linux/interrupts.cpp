// SIGINT, SIGTERM and SIGHUP remove the guarded file and end the program
// with status 128 + the signal's number, as a shell reports a program that
// the signal ended.
//
// The handler may only make async-signal-safe calls (unlink, _exit), so the
// name is kept in a static buffer, and a flag of type sig_atomic_t says
// whether the buffer holds a name: it is set only after the name is
// complete and cleared before the buffer changes again.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

#include "platform/interrupts.h"

static char guarded_name[4096];
static volatile sig_atomic_t name_is_guarded = 0;
static bool handlers_installed = false;
static volatile sig_atomic_t deferring = 0;
static volatile sig_atomic_t noted_signal = 0;

static const int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP};

static void on_interrupt(int signal_number) {
    if (deferring && noted_signal == 0) {
        noted_signal = signal_number;
        return;
    }
    if (name_is_guarded) unlink(guarded_name);
    _exit(128 + signal_number);
}

static void install_handlers() {
    // No SA_RESTART: a read or write that waits on a pipe or a terminal
    // returns, so that a deferred interrupt is seen at once.
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = on_interrupt;
    // A second interrupt waits while the first is handled: the handler ends
    // the program anyway.
    sigemptyset(&action.sa_mask);
    for (int signal_number : kInterrupts) sigaddset(&action.sa_mask, signal_number);
    for (int signal_number : kInterrupts) {
        struct sigaction current;
        // A signal that the program was started with ignored (nohup, a
        // background job of a shell) stays ignored, as the user wanted.
        if (sigaction(signal_number, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) {
            continue;
        }
        sigaction(signal_number, &action, nullptr);
    }
    handlers_installed = true;
}

bool guard_against_interrupts(const char* name) {
    size_t length = std::strlen(name);
    if (length >= sizeof guarded_name) return false;
    if (!handlers_installed) install_handlers();
    name_is_guarded = 0;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    std::memcpy(guarded_name, name, length + 1);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    name_is_guarded = 1;
    return true;
}

void release_interrupt_guard() {
    name_is_guarded = 0;
    std::atomic_signal_fence(std::memory_order_seq_cst);
}

void defer_interrupts(bool on) {
    if (on && !handlers_installed) install_handlers();
    deferring = on ? 1 : 0;
}

int pending_interrupt() {
    return noted_signal;
}

void end_if_interrupted() {
    int signal_number = noted_signal;
    if (signal_number == 0) return;
    if (name_is_guarded) unlink(guarded_name);
    _exit(128 + signal_number);
}

void keep_interrupts_off_this_thread() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal_number : kInterrupts) sigaddset(&set, signal_number);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}
