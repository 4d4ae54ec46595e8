// The requests to stop: the first one's exit code, a second Ctrl+C that ends at once, the wait of
// a handler for the command to write its result.
#include "interrupt_state.h"

#include <cstdio>

static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free &&
                  std::atomic<long long>::is_always_lock_free && std::atomic<const char*>::is_always_lock_free,
              "set from a signal handler");

namespace {

constexpr long long kSecondCtrlCMs = 2000;
constexpr int kWaitStepMs = 50;

}  // namespace

void InterruptState::Request(int exitCode) {
    int none = 0;
    m_exitCode.compare_exchange_strong(none, exitCode);
    m_requested = true;
}

int InterruptState::ExitCode() const {
    const int code = m_exitCode;
    return code != 0 ? code : 130;
}

bool InterruptState::CtrlCEndsNow(long long nowMs) {
    const long long last = m_lastCtrlC.exchange(nowMs);
    Request(130);
    return last >= 0 && nowMs - last <= kSecondCtrlCMs;
}

void InterruptState::SetWarning(const std::string& text) {
    char* next = m_warning.load() == m_warnings[0] ? m_warnings[1] : m_warnings[0];
    std::snprintf(next, kWarningSize, "%s", text.c_str());
    m_warning = next;
}

bool InterruptState::WaitForFinish(long long maxMs, void (*sleep)(int ms)) {
    for (long long waited = 0; !m_finished && waited < maxMs; waited += kWaitStepMs) {
        sleep(kWaitStepMs);
    }
    return m_finished;
}

InterruptState& TheInterruptState() {
    static InterruptState state;
    return state;
}

// The console seam's view of it, the same on every platform.
#include "console_seam.h"

bool Interrupted() {
    return TheInterruptState().Requested();
}

int InterruptExitCode() {
    return TheInterruptState().ExitCode();
}

void SetInterruptWarning(const std::string& text) {
    TheInterruptState().SetWarning(text);
}
