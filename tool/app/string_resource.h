// Loading a string of the program's string table as ANSI text.
#ifndef BRG40_APP_STRING_RESOURCE_H
#define BRG40_APP_STRING_RESOURCE_H

#include <windows.h>

#include <string>

// Finds string id in the program's resources (in the language the platform's lookup picks),
// converts it from UTF-16 to the thread's ANSI code page and stores it in text. False, with
// text unchanged, when the string is missing or empty.
bool LoadStringAnsi(UINT id, std::string& text);

#endif
