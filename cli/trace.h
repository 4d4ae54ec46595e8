// brg40 --trace: every command and reply with its bytes and a timestamp, on stderr.
#ifndef BRG40_CLI_TRACE_H
#define BRG40_CLI_TRACE_H

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

class Trace {
public:
    // now: seconds on a steady clock; stamps count from the trace's creation.
    Trace(std::FILE* err, std::function<double()> now);
    // "[   0.012345] > what  03 01 00 08 00": direction '>' to the device, '<' from it, '=' a result.
    void Line(char direction, const std::string& what, const uint8_t* data = nullptr, size_t size = 0);

private:
    std::FILE* m_err;
    std::function<double()> m_now;
    double m_start;
};

#endif
