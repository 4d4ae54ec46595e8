// brg40's entry point on Windows: the arguments as the system holds them, in UTF-16, carried as
// UTF-8 inside, so that a file name outside the ANSI code page reaches the program whole.
#include <windows.h>

#include <string>
#include <vector>

#include "entry.h"
#include "text_encoding_win32.h"

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> words;
    for (int i = 0; i < argc; ++i) {
        words.push_back(Utf8Of(argv[i]));
    }
    std::vector<const char*> pointers;
    for (const std::string& word : words) {
        pointers.push_back(word.c_str());
    }
    pointers.push_back(nullptr);
    return Brg40Main(argc, pointers.data());
}
