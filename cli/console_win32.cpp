// The console seam on Windows: console control handler, console handles, DLL search order.
#include "console_seam.h"

#include <windows.h>

#include <cstdio>

#include "interrupt_state.h"

namespace {

void SleepMs(int ms) {
    Sleep(static_cast<DWORD>(ms));
}

BOOL WINAPI OnConsoleControl(DWORD event) {
    InterruptState& state = TheInterruptState();
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            if (state.CtrlCEndsNow(static_cast<long long>(GetTickCount64()))) {
                // The user insists: end now, saying what may be left half done.
                char line[400];
                const int n = std::snprintf(line, sizeof line, "\nbrg40: ended at once: %s\n", state.Warning());
                DWORD written = 0;
                WriteFile(GetStdHandle(STD_ERROR_HANDLE), line, n > 0 ? static_cast<DWORD>(n) : 0, &written, nullptr);
                ExitProcess(130);
            }
            return TRUE;  // handled: the workers finish their exchanges and stop by themselves
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            // Windows ends the process as soon as this handler returns, and at the latest about 5 s
            // after a close (log-off and shut-down give no more): the handler holds on, so that the
            // exchange in progress finishes, the preserved-block copy is on disk and the result is
            // written before the process goes.
            state.Request(130);
            state.WaitForFinish(4500, SleepMs);
            return TRUE;
        default:
            return FALSE;
    }
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
    TheInterruptState();
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
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
