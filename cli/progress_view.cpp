// The console forms of a command's progress, with the bar line of the update's progress.
#include "progress_view.h"

#include <string>

#include "console_events.h"

ProgressView::ProgressView(ConsoleOutput& output, bool terminalBar, std::function<double()> now)
    : m_output(output), m_terminalBar(terminalBar && !output.Json()), m_now(std::move(now)) {}

void ProgressView::Start(const char* phase, uint64_t total) {
    End();
    m_phase = phase;
    m_total = total;
    m_start = m_now();
    m_percent = -1;
    m_step = -1;
    m_output.Event("phase", JsonObject().Add("phase", phase));
    if (!m_terminalBar) {
        m_output.Note(std::string(phase) + " ...");
    }
    Update(0);
}

void ProgressView::Update(uint64_t done) {
    const int percent = m_total == 0 ? 100 : static_cast<int>(done * 100 / m_total);
    if (percent == m_percent) {
        return;
    }
    const double now = m_now();
    const double elapsed = now - m_start;
    // A phase of a few milliseconds would otherwise spend a good part of them writing its progress.
    const bool due = percent == 100 || m_percent < 0 || now - m_shown >= kMinInterval;
    if (!due) {
        return;
    }
    m_shown = now;
    if (m_output.Json()) {
        if (percent / 5 != m_step) {
            m_step = percent / 5;
            const double rate = elapsed > 0 ? static_cast<double>(done) / elapsed : 0.0;
            m_output.Event("progress", JsonObject()
                                           .Add("phase", m_phase)
                                           .Add("percent", m_step * 5)
                                           .Add("bytes_per_second", static_cast<long>(rate)));
        }
    } else if (m_terminalBar) {
        std::fprintf(m_output.Err(), "\r%s", BarLine(m_phase, percent, elapsed, static_cast<double>(done)).c_str());
        std::fflush(m_output.Err());
        m_barOnLine = true;
    } else if (percent / 25 != m_percent / 25 && percent > 0) {
        m_output.Note(BarLine(m_phase, percent, elapsed, static_cast<double>(done)));
    }
    m_percent = percent;
}

void ProgressView::End() {
    if (m_barOnLine) {
        std::fputc('\n', m_output.Err());
        m_barOnLine = false;
    }
}
