// Output on POSIX systems: the terminal takes UTF-8 as it is.
#include "console_write.h"

void WriteText(std::FILE* stream, const std::string& text) {
    std::fputs(text.c_str(), stream);
    std::fflush(stream);
}
