// Progress of a long bench command on the console, in the forms of brg40 fw update: one bar
// redrawn on a terminal, a line every 25 % otherwise, and with --json a phase event and a progress
// event at every 5 % step; at most one of them every 50 ms, besides the first and the last.
#ifndef BRG40_CLI_PROGRESS_VIEW_H
#define BRG40_CLI_PROGRESS_VIEW_H

#include <cstdint>
#include <functional>

#include "console_output.h"

class ProgressView {
public:
    // terminalBar: stderr is a terminal (and no --json). now: seconds on a steady clock.
    ProgressView(ConsoleOutput& output, bool terminalBar, std::function<double()> now);
    ~ProgressView() { End(); }

    // A phase of total bytes begins ("read", "erase", "write", "verify").
    void Start(const char* phase, uint64_t total);
    void Update(uint64_t done);
    // Ends a bar left on the terminal's line.
    void End();

private:
    ConsoleOutput& m_output;
    bool m_terminalBar;
    std::function<double()> m_now;
    const char* m_phase = "";
    uint64_t m_total = 0;
    static constexpr double kMinInterval = 0.05;  // seconds
    double m_start = 0;
    double m_shown = 0;  // when progress was last shown
    int m_percent = -1;  // last drawn
    int m_step = -1;     // last 5 % step reported in JSON
    bool m_barOnLine = false;
};

#endif
