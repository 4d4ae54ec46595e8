// The console seam on Linux and other POSIX systems: SIGINT handler, terminal detection.
#include "console_seam.h"

#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>

namespace {

std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

void OnInterrupt(int) {
    interrupted = true;  // the main thread finishes its exchange and stops by itself
}

}  // namespace

void PrepareProcess() {
    // Nothing to do: shared libraries come from the loader's fixed paths, never from the
    // working folder.
}

void WatchInterrupt() {
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;  // transfers and waits go on; the run looks at the flag between exchanges
    sigaction(SIGINT, &action, nullptr);
}

bool Interrupted() {
    return interrupted;
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
