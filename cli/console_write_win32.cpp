// Output on Windows: a stream that is a console gets the text as UTF-16 through WriteConsoleW,
// whatever the console's code page; anything else (a file, a pipe) gets the UTF-8 bytes.
#include "console_write.h"

#include <io.h>
#include <windows.h>

#include "text_encoding_win32.h"

void WriteText(std::FILE* stream, const std::string& text) {
    std::fflush(stream);  // what went before through the C library comes first
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    if (handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
        const std::wstring wide = WideOf(text);
        DWORD written = 0;
        WriteConsoleW(handle, wide.c_str(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    std::fputs(text.c_str(), stream);
    std::fflush(stream);
}
