#include "core/bSignals.h"

#include <unistd.h>

namespace paginor {

namespace {

// SIGPIPE too: a log read through "| head" that closes early must not cut
// a midlet short either.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

sigset_t StopSignalSet() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : kStopSignals)
        sigaddset(&set, signal);
    return set;
}

// Only async-signal-safe calls: write the fixed line, end at once. The log
// writes and flushes whole lines, so this line follows the last of them.
void WriteOut(const char* text) {
    size_t length = 0;
    while (text[length] != '\0')
        ++length;
    [[maybe_unused]] const ssize_t written = ::write(STDOUT_FILENO, text, length);
}

extern "C" void EndProgram(int signal) {
    WriteOut(signal == SIGINT    ? "Stopped by SIGINT (Ctrl-C)"
             : signal == SIGTERM ? "Stopped by SIGTERM"
             : signal == SIGHUP  ? "Stopped by SIGHUP"
                                 : "Stopped by SIGPIPE");
    WriteOut(": the run ended early; the output folder holds whole midlets only\n");
    ::_exit(1);
}

} // namespace

void EndOnStopSignals() {
    for (int signal : kStopSignals) {
        struct sigaction previous {};
        if (::sigaction(signal, nullptr, &previous) != 0 || previous.sa_handler == SIG_IGN)
            continue;
        struct sigaction action {};
        action.sa_handler = EndProgram;
        sigfillset(&action.sa_mask);
        ::sigaction(signal, &action, nullptr);
    }
}

TStopSignals::TStopSignals() {
    const sigset_t set = StopSignalSet();
    ::pthread_sigmask(SIG_BLOCK, &set, &Previous);
}

TStopSignals::~TStopSignals() {
    ::pthread_sigmask(SIG_SETMASK, &Previous, nullptr);
}

bool TStopSignals::Pending() const {
    sigset_t pending;
    if (::sigpending(&pending) != 0) return false;
    for (int signal : kStopSignals) {
        // An ignored signal (SIGHUP under nohup) stays pending while it is
        // blocked, and is dropped when it is not.
        struct sigaction action {};
        if (sigismember(&pending, signal) && !sigismember(&Previous, signal) &&
            ::sigaction(signal, nullptr, &action) == 0 && action.sa_handler != SIG_IGN)
            return true;
    }
    return false;
}

} // namespace paginor
