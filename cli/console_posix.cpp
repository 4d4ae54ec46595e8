// The console seam on Linux and other POSIX systems: SIGINT handler, terminal detection.
#include "console_seam.h"

#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <atomic>

namespace {

std::atomic<bool> interrupted{false};
std::atomic<int> firstSignal{0};
std::atomic<long long> lastCtrlC{0};  // milliseconds on the monotonic clock; 0: none yet
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");
static_assert(std::atomic<long long>::is_always_lock_free, "set from a signal handler");

// The warning is written from the handler: two buffers, the one not shown is filled, then shown.
constexpr size_t kWarningSize = 320;
char warnings[2][kWarningSize] = {{"the exchange in progress was cut off"}, {}};
std::atomic<const char*> warning{warnings[0]};

long long MonotonicMilliseconds() {
    timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);  // async-signal-safe
    return now.tv_sec * 1000LL + now.tv_nsec / 1000000;
}

void OnInterrupt(int signal) {
    if (signal == SIGINT) {
        const long long now = MonotonicMilliseconds();
        const long long last = lastCtrlC.exchange(now);
        if (last != 0 && now - last <= 2000) {
            // The user insists: end now, saying what may be left half done.
            const char* text = warning.load();
            const char head[] = "\nbrg40: ended at once: ";
            ssize_t ignored = write(STDERR_FILENO, head, sizeof head - 1);
            ignored = write(STDERR_FILENO, text, strlen(text));
            ignored = write(STDERR_FILENO, "\n", 1);
            (void)ignored;
            _exit(128 + SIGINT);
        }
    }
    int none = 0;
    firstSignal.compare_exchange_strong(none, signal);
    interrupted = true;  // the workers finish their exchanges and stop by themselves
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
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
}

bool Interrupted() {
    return interrupted;
}

int InterruptExitCode() {
    const int signal = firstSignal;
    return 128 + (signal != 0 ? signal : SIGINT);
}

void SetInterruptWarning(const std::string& text) {
    char* next = warning.load() == warnings[0] ? warnings[1] : warnings[0];
    snprintf(next, kWarningSize, "%s", text.c_str());
    warning = next;
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
