// The seam to the console: interruption by the user, terminal detection and the program's start.
// One implementation per platform, chosen by the build (console_win32.cpp).
#ifndef BRG40_CLI_CONSOLE_SEAM_H
#define BRG40_CLI_CONSOLE_SEAM_H

#include <string>

// First thing in main: the platform's safe settings for a program that loads libraries.
void PrepareProcess();

// From now on Ctrl+C (and Ctrl+Break; SIGTERM and SIGHUP on POSIX systems) no longer ends the
// program but sets the interrupted flag: the exchange in progress finishes and the command
// reports where it left the converter. A second Ctrl+C within 2 s ends the program at once, with
// the warning set below.
void WatchInterrupt();
// True once the user interrupted. Safe from any thread.
bool Interrupted();
// The exit code of an interrupted command: 128 + the signal (130 Ctrl+C, 143 SIGTERM, 129 SIGHUP).
int InterruptExitCode();
// What a second Ctrl+C that ends the program at once says about the state it leaves (the last
// text set wins; 300 bytes at most).
void SetInterruptWarning(const std::string& text);

bool StdinIsTerminal();
bool StderrIsTerminal();
// Whether stderr, a terminal, takes ANSI cursor movement for live lines (Windows: switched on
// here; a console too old for it says no, and plain lines are written instead).
bool StderrTakesCursorMoves();

// The device node a -d names, with its links resolved (Linux: /dev/brg40/by-id/... is /dev/sgN);
// the name itself where there are no links.
std::string ResolveNodePath(const std::string& name);

// What a user does about a converter that may not be opened (access denied).
const char* DeniedAdvice();

#endif
