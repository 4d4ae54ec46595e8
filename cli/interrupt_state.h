// What brg40 keeps of the requests to stop it, shared by the platforms' handlers (a POSIX signal
// handler, the Windows console handler on its own thread): lock-free atomics only, so that a
// signal handler may call every function here but SetWarning.
#ifndef BRG40_CLI_INTERRUPT_STATE_H
#define BRG40_CLI_INTERRUPT_STATE_H

#include <atomic>
#include <string>

class InterruptState {
public:
    // A request to stop with this exit code (130 Ctrl+C, 143 SIGTERM, ...); the first one's code
    // is the command's.
    void Request(int exitCode);
    bool Requested() const { return m_requested; }
    int ExitCode() const;

    // A Ctrl+C at nowMs (a monotonic clock): true when it is the second within 2 s, and the program
    // is to end at once. It is a request either way.
    bool CtrlCEndsNow(long long nowMs);

    // What ending at once says of the state left (the last text set wins; 300 bytes at most).
    void SetWarning(const std::string& text);
    const char* Warning() const { return m_warning; }

    // The command has written its result: a handler that waits for it may return.
    void Finish() { m_finished = true; }
    bool Finished() const { return m_finished; }
    // Waits until Finished() or maxMs have passed, calling sleep(stepMs) in between; Finished().
    bool WaitForFinish(long long maxMs, void (*sleep)(int ms));

private:
    static constexpr size_t kWarningSize = 320;
    std::atomic<bool> m_requested{false};
    std::atomic<int> m_exitCode{0};
    std::atomic<long long> m_lastCtrlC{-1};
    std::atomic<bool> m_finished{false};
    // Two buffers: the one not shown is filled, then shown.
    char m_warnings[2][kWarningSize] = {{"the exchange in progress was cut off"}, {}};
    std::atomic<const char*> m_warning{m_warnings[0]};
};

// The program's one state, set by its handler.
InterruptState& TheInterruptState();

#endif
