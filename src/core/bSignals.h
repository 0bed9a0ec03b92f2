// Stop signals (SIGINT from Ctrl-C, SIGTERM, SIGHUP from a closed terminal,
// SIGPIPE from a log reader that went away).
//
// EndOnStopSignals makes each of them end the program with status 1 and one
// line saying so. TStopSignals holds them back for a stretch that would leave
// files behind if cut short (temporary files in the output folder, a private
// folder and the converter running in it): such a signal takes effect when
// the stretch is over and its files are gone or in place.
#pragma once

#include <csignal>

namespace paginor {

// Installs the handler for every stop signal the program was not started
// ignoring (a run under nohup keeps ignoring SIGHUP).
void EndOnStopSignals();

class TStopSignals {
public:
    // Blocks the stop signals until the object goes.
    TStopSignals();
    // Restores the signal mask: a signal that came meanwhile is delivered now.
    ~TStopSignals();
    TStopSignals(const TStopSignals&) = delete;
    TStopSignals& operator=(const TStopSignals&) = delete;

    // Whether a stop signal came while they were held back.
    bool Pending() const;
    // The signal mask a program started now should get: the one before.
    const sigset_t& PreviousMask() const { return Previous; }

private:
    sigset_t Previous;
};

} // namespace paginor
