// Standard output redirected into a temporary file and read back as lines.
#include "stdout_capture.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

StdoutCapture::StdoutCapture() {
    char dir[MAX_PATH];
    char file[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    GetTempFileNameA(dir, "out", 0, file);
    path_ = file;
    std::fflush(stdout);
    saved_ = _dup(1);
    int fd = _open(file, _O_WRONLY | _O_TRUNC | _O_BINARY);
    _dup2(fd, 1);
    _close(fd);
}

StdoutCapture::~StdoutCapture() {
    finish();
}

std::vector<std::string> StdoutCapture::finish() {
    std::vector<std::string> lines;
    if (finished_) {
        return lines;
    }
    finished_ = true;
    std::fflush(stdout);
    _dup2(saved_, 1);
    _close(saved_);
    FILE* f = std::fopen(path_.c_str(), "rb");
    std::string text;
    if (f != nullptr) {
        char buffer[4096];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
            text.append(buffer, got);
        }
        std::fclose(f);
    }
    DeleteFileA(path_.c_str());
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        lines.push_back(text.substr(start, end - start));
        start = end;
    }
    return lines;
}
