// Writing a line of brg40's output (UTF-8) to stdout or stderr. One implementation per platform
// (console_write_win32.cpp: a console gets UTF-16, so that any text shows in any code page; a file
// or a pipe gets the UTF-8 bytes).
#ifndef BRG40_CLI_CONSOLE_WRITE_H
#define BRG40_CLI_CONSOLE_WRITE_H

#include <cstdio>
#include <string>

// Writes text as it is (no newline added) and flushes the stream.
void WriteText(std::FILE* stream, const std::string& text);

#endif
