// The live view of several units updating at once on a terminal: one line per unit (its label,
// phase, percent and rate) redrawn in place, and the lines the units write printed above them.
#ifndef BRG40_CLI_RACK_VIEW_H
#define BRG40_CLI_RACK_VIEW_H

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "workers.h"

class RackView {
public:
    // stream: a terminal that takes ANSI cursor movement. now: seconds on a steady clock.
    RackView(std::FILE* stream, std::function<double()> now);
    ~RackView();
    RackView(const RackView&) = delete;
    RackView& operator=(const RackView&) = delete;

    // A new unit's line, at the bottom; its number for the calls below.
    size_t AddRow(const std::string& label, const std::string& text);
    // What the unit's line says after its label. Redrawn at most ten times a second, unless now.
    void SetRow(size_t row, const std::string& text, bool now = false);
    // The unit's progress: "write    45%   11.3 kB/s".
    void SetProgress(size_t row, const char* phase, int percent, double bytesPerSecond);
    // A line printed once, above the live lines.
    void Print(const std::string& line);

private:
    void Draw(const std::string& above, bool force);

    Mutex m_lock;
    std::FILE* m_stream;
    std::function<double()> m_now;
    std::vector<std::string> m_labels, m_texts;
    size_t m_width = 0;  // of the widest label
    size_t m_drawn = 0;  // live lines on the terminal now
    double m_lastDraw = -1;
};

#endif
