// The seam to the console: interruption by the user, terminal detection and the program's start.
// One implementation per platform, chosen by the build (console_win32.cpp).
#ifndef BRG40_CLI_CONSOLE_SEAM_H
#define BRG40_CLI_CONSOLE_SEAM_H

#include <string>

// First thing in main: the platform's safe settings for a program that loads libraries.
void PrepareProcess();

// From now on Ctrl+C (and Ctrl+Break) no longer ends the program but sets the interrupted flag.
void WatchInterrupt();
// True once the user interrupted. Safe from any thread.
bool Interrupted();

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
