// File names on POSIX systems are bytes: the UTF-8 name is the name.
#include "file_open.h"

std::FILE* OpenFile(const char* path, const char* mode) {
    return std::fopen(path, mode);
}
