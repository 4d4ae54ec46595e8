// The console seam on Linux and other POSIX systems: SIGINT handler, terminal detection.
#include "console_seam.h"

#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include "interrupt_state.h"

namespace {

long long MonotonicMilliseconds() {
    timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);  // async-signal-safe
    return now.tv_sec * 1000LL + now.tv_nsec / 1000000;
}

void OnInterrupt(int signal) {
    InterruptState& state = TheInterruptState();
    if (signal == SIGINT && state.CtrlCEndsNow(MonotonicMilliseconds())) {
        // The user insists: end now, saying what may be left half done.
        const char* text = state.Warning();
        const char head[] = "\nbrg40: ended at once: ";
        ssize_t ignored = write(STDERR_FILENO, head, sizeof head - 1);
        ignored = write(STDERR_FILENO, text, strlen(text));
        ignored = write(STDERR_FILENO, "\n", 1);
        (void)ignored;
        _exit(128 + SIGINT);
    }
    state.Request(128 + signal);  // the workers finish their exchanges and stop by themselves
}

}  // namespace

void PrepareProcess() {
    // Nothing to do: shared libraries come from the loader's fixed paths, never from the
    // working folder.
}

void WatchInterrupt() {
    TheInterruptState();  // made here, not first in a handler
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;  // transfers and waits go on; the run looks at the flag between exchanges
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
}

bool StdinIsTerminal() {
    return isatty(STDIN_FILENO) == 1;
}

bool StderrIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

bool StderrTakesCursorMoves() {
    const char* term = getenv("TERM");
    return StderrIsTerminal() && term != nullptr && std::string(term) != "dumb";
}

std::string ResolveNodePath(const std::string& name) {
    char resolved[PATH_MAX];
    return realpath(name.c_str(), resolved) != nullptr ? resolved : name;
}

const char* DeniedAdvice() {
    return "install the udev rule 70-brg40.rules (it gives the user at the seat access), or enable its group "
           "rule and join that group, then plug the converter in again";
}
