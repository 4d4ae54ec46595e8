// The console seam on Windows: console control handler, console handles, DLL search order.
#include "console_seam.h"

#include <windows.h>

#include <atomic>

namespace {

std::atomic<bool> interrupted{false};

BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        interrupted = true;
        return TRUE;  // handled: the main thread finishes its exchange and stops by itself
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
