// Captures what the process writes to standard output between start and finish (the diagnostics of
// the update-mode device routines), through a temporary file behind descriptor 1.
#ifndef BRG40_TESTS_STDOUT_CAPTURE_H
#define BRG40_TESTS_STDOUT_CAPTURE_H

#include <string>
#include <vector>

class StdoutCapture {
public:
    StdoutCapture();
    ~StdoutCapture();
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;

    // What was written since construction, cut into lines that keep their "\n" (a last line without
    // one is kept as it is). Restores standard output.
    std::vector<std::string> finish();

private:
    int saved_ = -1;
    std::string path_;
    bool finished_ = false;
};

#endif
