// Opening the files brg40 is given by name (images, -o/-i files, @FILE bytes): names are UTF-8
// inside brg40, and each platform opens them its way (file_open_win32.cpp: the wide API, so that
// any name Windows can hold opens).
#ifndef BRG40_CLI_FILE_OPEN_H
#define BRG40_CLI_FILE_OPEN_H

#include <cstdio>

// As std::fopen, for a UTF-8 name.
std::FILE* OpenFile(const char* path, const char* mode);

#endif
