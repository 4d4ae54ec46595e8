// Drawing the live lines: the cursor goes back up over the lines drawn last, and each line is
// cleared and written again.
#include "rack_view.h"

#include "console_write.h"

#include <algorithm>
#include <mutex>

namespace {

constexpr double kRedrawSeconds = 0.1;
constexpr size_t kColumns = 79;  // a line that wraps would break the count of lines to go back over

}  // namespace

RackView::RackView(std::FILE* stream, std::function<double()> now) : m_stream(stream), m_now(std::move(now)) {}

RackView::~RackView() {
    std::lock_guard<Mutex> hold(m_lock);
    Draw("", true);  // the last state of every line stays on the terminal
}

size_t RackView::AddRow(const std::string& label, const std::string& text) {
    std::lock_guard<Mutex> hold(m_lock);
    m_labels.push_back(label);
    m_texts.push_back(text);
    m_width = std::max(m_width, label.size());
    Draw("", true);
    return m_labels.size() - 1;
}

void RackView::SetRow(size_t row, const std::string& text, bool now) {
    std::lock_guard<Mutex> hold(m_lock);
    if (row < m_texts.size()) {
        m_texts[row] = text;
        Draw("", now);
    }
}

void RackView::SetProgress(size_t row, const char* phase, int percent, double bytesPerSecond) {
    char text[64];
    std::snprintf(text, sizeof text, "%-7s %3d%%  %6.1f kB/s", phase, percent, bytesPerSecond / 1000.0);
    SetRow(row, text);
}

void RackView::Print(const std::string& line) {
    std::lock_guard<Mutex> hold(m_lock);
    Draw(line, true);
}

void RackView::Draw(const std::string& above, bool force) {
    const double now = m_now();
    if (!force && now - m_lastDraw < kRedrawSeconds) {
        return;  // the next change draws it
    }
    m_lastDraw = now;
    std::string out;
    if (m_drawn > 0) {
        out += "\r\033[" + std::to_string(m_drawn) + "A";
    }
    if (!above.empty()) {
        out += "\r\033[K" + above + "\n";
    }
    for (size_t i = 0; i < m_labels.size(); ++i) {
        std::string line = m_labels[i] + std::string(m_width - m_labels[i].size() + 2, ' ') + m_texts[i];
        if (line.size() > kColumns) {
            line.resize(kColumns);
        }
        out += "\r\033[K" + line + "\n";
    }
    m_drawn = m_labels.size();
    WriteText(m_stream, out);
}
