// File names on Windows: the UTF-8 name as UTF-16, through _wfopen (std::fopen would take it in
// the ANSI code page and lose every character outside it).
#include "file_open.h"

#include <cstdio>

#include "text_encoding_win32.h"

std::FILE* OpenFile(const char* path, const char* mode) {
    return _wfopen(WideOf(path).c_str(), WideOf(mode).c_str());
}
