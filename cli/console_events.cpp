// The console view of the update engine: progress in three forms, the question, the messages.
#include "console_events.h"

#include "console_texts.h"
#include "console_write.h"
#include "exit_codes.h"

const char* PhaseName(UpdatePhase phase) {
    switch (phase) {
        case UpdatePhase::ReadPreserved:
            return "prepare";
        case UpdatePhase::Erase:
            return "erase";
        case UpdatePhase::Write:
            return "write";
        case UpdatePhase::ReadBack:
            return "check";
    }
    return "";
}

std::string BarLine(const char* phase, int percent, double elapsedSeconds, double doneBytes) {
    constexpr int kWidth = 30;
    const int filled = percent * kWidth / 100;
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(kWidth - filled), '-');
    const double rate = elapsedSeconds > 0 ? doneBytes / elapsedSeconds : 0.0;
    char text[128];
    if (percent > 0 && percent < 100) {
        const int left = static_cast<int>(elapsedSeconds * (100 - percent) / percent + 0.5);
        std::snprintf(text, sizeof text, "%-7s [%s] %3d%%  %6.1f kB/s  %d:%02d left", phase, bar.c_str(), percent,
                      rate / 1000.0, left / 60, left % 60);
    } else {
        std::snprintf(text, sizeof text, "%-7s [%s] %3d%%  %6.1f kB/s", phase, bar.c_str(), percent, rate / 1000.0);
    }
    return text;
}

ConsoleEvents::ConsoleEvents(const ConsoleSettings& settings,
                             ConsoleOutput& output,
                             std::FILE* in,
                             std::function<bool()> stopped,
                             std::function<double()> now)
    : m_settings(settings), m_output(output), m_in(in), m_stopped(std::move(stopped)), m_now(std::move(now)) {}

void ConsoleEvents::EndBar() {
    if (m_barOnLine) {
        WriteText(m_output.Err(), "\n");
        m_barOnLine = false;
    }
}

bool ConsoleEvents::ConfirmOlderOrEqual(uint16_t imageVersion, uint16_t) {
    EndBar();
    if (m_asked) {
        return !m_declined;  // asked before the converter was switched
    }
    m_asked = true;
    const unsigned major = imageVersion >> 8, minor = imageVersion & 0xFF;
    const std::string prompt = VersionPrompt(major, minor);
    bool yes = false;
    const char* how = "no terminal to ask: refused (use --yes)";
    if (m_settings.yes) {
        yes = true;
        how = "--yes";
    } else if (m_settings.canAsk && !m_output.Json()) {
        WriteText(m_output.Err(), prompt);
        char line[32] = {};
        yes = std::fgets(line, sizeof line, m_in) != nullptr && (line[0] == 'y' || line[0] == 'Y');
        how = nullptr;
    }
    if (how != nullptr) {
        m_output.Note(prompt + (yes ? "yes" : "no") + " (" + how + ")");
    }
    m_output.Event("question", JsonObject()
                                   .Add("id", static_cast<int>(en::MSG_VERSION_NOT_NEWER.id))
                                   .Add("text", VersionQuestion(major, minor))
                                   .Add("answer", yes ? "yes" : "no"));
    m_declined = !yes;
    return yes;
}

void ConsoleEvents::PhaseStarted(UpdatePhase phase) {
    EndBar();
    m_phase = phase;
    m_phaseStart = m_now();
    m_reported = -1;
    m_output.Event("phase", JsonObject().Add("phase", PhaseName(phase)));
    if (phase != UpdatePhase::ReadPreserved && !m_settings.terminalBar) {
        m_output.Note(std::string(PhaseName(phase)) + " ...");  // reading the block takes a moment: no line
    }
}

void ConsoleEvents::Progress(UpdatePhase phase, uint32_t done, uint32_t total) {
    const int percent = total == 0 ? 100 : static_cast<int>(uint64_t{done} * 100 / total);
    if (percent == m_reported) {
        return;
    }
    const double elapsed = m_now() - m_phaseStart;
    const char* name = PhaseName(phase);
    if (m_output.Json()) {
        if (percent % 5 == 0) {
            const double rate = elapsed > 0 ? done / elapsed : 0.0;
            m_output.Event("progress", JsonObject()
                                           .Add("phase", name)
                                           .Add("percent", percent)
                                           .Add("bytes_per_second", static_cast<long>(rate)));
        }
    } else if (m_settings.terminalBar && m_settings.bar) {
        m_settings.bar(name, percent, elapsed > 0 ? done / elapsed : 0.0);
    } else if (m_settings.terminalBar) {
        WriteText(m_output.Err(), "\r" + BarLine(name, percent, elapsed, done));
        m_barOnLine = true;
    } else if (percent % 25 == 0 && percent > 0) {
        m_output.Note(BarLine(name, percent, elapsed, done));
    }
    m_reported = percent;
}

void ConsoleEvents::Ended(UpdateStop reason) {
    EndBar();
    m_lastStop = reason;
    const bool checkMatched = reason == UpdateStop::Completed && m_phase == UpdatePhase::ReadBack;
    const StopReport report = ReportOfStop(reason);
    if (checkMatched || report.message == nullptr) {
        return;
    }
    if (m_stopped && m_stopped()) {
        return;  // the interruption is reported instead of the failed exchange it caused
    }
    m_output.Event(
        "message",
        JsonObject().Add("id", static_cast<int>(report.message->id)).Add("text", MessageLine(*report.message)));
    m_output.Note(Headline(*report.message));
}
