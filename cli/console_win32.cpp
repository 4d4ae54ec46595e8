// The console seam on Windows: console control handler, console handles, DLL search order.
#include "console_seam.h"

#include <windows.h>

#include <atomic>
#include <cstdio>

namespace {

std::atomic<bool> interrupted{false};
std::atomic<ULONGLONG> lastCtrlC{0};  // GetTickCount64 of the last Ctrl+C; 0: none yet

// Two buffers: the one not shown is filled, then shown (the handler runs on a thread of its own).
constexpr size_t kWarningSize = 320;
char warnings[2][kWarningSize] = {{"the exchange in progress was cut off"}, {}};
std::atomic<const char*> warning{warnings[0]};

BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        const ULONGLONG now = GetTickCount64();
        const ULONGLONG last = lastCtrlC.exchange(now);
        if (last != 0 && now - last <= 2000) {
            // The user insists: end now, saying what may be left half done.
            char line[kWarningSize + 32];
            const int n = std::snprintf(line, sizeof line, "\nbrg40: ended at once: %s\n", warning.load());
            DWORD written = 0;
            WriteFile(GetStdHandle(STD_ERROR_HANDLE), line, n > 0 ? static_cast<DWORD>(n) : 0, &written, nullptr);
            ExitProcess(130);
        }
        interrupted = true;
        return TRUE;  // handled: the workers finish their exchanges and stop by themselves
    }
    return FALSE;
}

bool IsConsole(DWORD which) {
    DWORD mode;
    return GetConsoleMode(GetStdHandle(which), &mode) != 0;  // fails on files, pipes and NUL
}

}  // namespace

void PrepareProcess() {
    // Libraries loaded later by name come from the system folder only: a DLL planted beside the
    // program (a download folder) is never loaded in place of a system one.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

void WatchInterrupt() {
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

bool Interrupted() {
    return interrupted;
}

int InterruptExitCode() {
    return 130;
}

void SetInterruptWarning(const std::string& text) {
    char* next = warning.load() == warnings[0] ? warnings[1] : warnings[0];
    std::snprintf(next, kWarningSize, "%s", text.c_str());
    warning = next;
}

bool StdinIsTerminal() {
    return IsConsole(STD_INPUT_HANDLE);
}

bool StderrIsTerminal() {
    return IsConsole(STD_ERROR_HANDLE);
}

bool StderrTakesCursorMoves() {
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    return GetConsoleMode(err, &mode) != 0 && ((mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
                                               SetConsoleMode(err, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0);
}

std::string ResolveNodePath(const std::string& name) {
    return name;  // device names are not links here
}

const char* DeniedAdvice() {
    return "run brg40 from a console opened with Run as administrator";
}
