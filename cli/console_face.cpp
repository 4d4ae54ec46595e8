// The console face: messages, the version question, and progress in three forms.
#include "console_face.h"

#include <cstring>

#include "console_texts.h"
#include "firmware_image.h"

namespace {

// Every phase moves over the application flash (the write over the file's length, which is at
// most a few bytes more): the rate is told over that size.
constexpr double kPhaseBytes = kImageSize;

bool StartsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// The first line of a message: what the console says (the rest speaks of the dialog).
std::string Headline(unsigned textId) {
    const std::string line = MessageText(textId);
    return line.substr(0, line.find('\n'));
}

}  // namespace

std::string PhaseOfBarText(const char* text) {
    if (StartsWith(text, "please waiting")) {
        return "prepare";
    }
    if (StartsWith(text, "Erase Flash")) {
        return "erase";
    }
    if (StartsWith(text, "Write Flash")) {
        return "write";
    }
    if (StartsWith(text, "close session")) {
        return "check";
    }
    return "";
}

std::string BarLine(const std::string& phase, int percent, double elapsedSeconds, double phaseBytes) {
    constexpr int kWidth = 30;
    const int filled = percent * kWidth / 100;
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(kWidth - filled), '-');
    const double done = phaseBytes * percent / 100.0;
    const double rate = elapsedSeconds > 0 ? done / elapsedSeconds : 0.0;
    char text[128];
    if (percent > 0 && percent < 100) {
        const int left = static_cast<int>(elapsedSeconds * (100 - percent) / percent + 0.5);
        std::snprintf(text, sizeof text, "%-7s [%s] %3d%%  %6.1f kB/s  %d:%02d left", phase.c_str(), bar.c_str(),
                      percent, rate / 1000.0, left / 60, left % 60);
    } else {
        std::snprintf(text, sizeof text, "%-7s [%s] %3d%%  %6.1f kB/s", phase.c_str(), bar.c_str(), percent,
                      rate / 1000.0);
    }
    return text;
}

ConsoleFace::ConsoleFace(const FaceSettings& settings,
                         ConsoleOutput& output,
                         std::FILE* in,
                         std::function<bool()> stopped,
                         std::function<double()> now)
    : m_settings(settings), m_output(output), m_in(in), m_stopped(std::move(stopped)), m_now(std::move(now)) {}

void ConsoleFace::EndBar() {
    if (m_barOnLine) {
        std::fputc('\n', m_output.Err());
        m_barOnLine = false;
    }
}

int ConsoleFace::ShowMessage(unsigned textId, unsigned, BoxKind kind, bool, unsigned major, unsigned minor) {
    EndBar();
    if (kind == kBoxQuestion) {
        if (m_asked) {
            return m_declined ? kAnswerNo : kAnswerYes;  // asked before the converter was switched
        }
        m_asked = true;
        const std::string prompt = VersionPrompt(major, minor);
        int answer = kAnswerNo;
        const char* how = "no terminal to ask: refused (use --yes)";
        if (m_settings.yes) {
            answer = kAnswerYes;
            how = "--yes";
        } else if (m_settings.canAsk && !m_output.Json()) {
            std::fputs(prompt.c_str(), m_output.Err());
            std::fflush(m_output.Err());
            char line[32] = {};
            const bool got = std::fgets(line, sizeof line, m_in) != nullptr;
            answer = got && (line[0] == 'y' || line[0] == 'Y') ? kAnswerYes : kAnswerNo;
            how = nullptr;
        }
        if (how != nullptr) {
            m_output.Note(prompt + (answer == kAnswerYes ? "yes" : "no") + " (" + how + ")");
        }
        m_output.Event("question", JsonObject()
                                       .Add("id", static_cast<int>(textId))
                                       .Add("text", VersionQuestion(major, minor))
                                       .Add("answer", answer == kAnswerYes ? "yes" : "no"));
        m_declined = answer != kAnswerYes;
        return answer;
    }
    m_lastMessage = textId;
    if (m_stopped && m_stopped()) {
        return kAnswerOk;  // the interruption is reported instead of the failed exchange it caused
    }
    m_output.Event("message", JsonObject().Add("id", static_cast<int>(textId)).Add("text", MessageLine(textId)));
    m_output.Note(Headline(textId));
    return kAnswerOk;
}

void ConsoleFace::SetBarPos(int position) {
    m_position = position < 0 ? 0 : position > 100 ? 100 : position;
}

void ConsoleFace::StepBar() {
    m_position = m_position >= 100 ? 0 : m_position + 1;  // a standard progress control wraps at its top
}

void ConsoleFace::SetBarText(const char* text) {
    const std::string phase = PhaseOfBarText(text);
    if (phase.empty()) {
        return;  // the empty text of a phase start, and "Completed!!"
    }
    if (phase != m_phase) {
        EndBar();
        m_phase = phase;
        m_phaseStart = m_now();
        m_reported = -1;
        m_output.Event("phase", JsonObject().Add("phase", phase));
        if (phase == "prepare") {
            return;  // a moment's reading of the preserved block: no line of its own
        }
        if (!m_settings.terminalBar) {
            m_output.Note(phase + " ...");
        }
    }
    Progress();
}

void ConsoleFace::Progress() {
    if (m_position == m_reported) {
        return;
    }
    const double elapsed = m_now() - m_phaseStart;
    if (m_output.Json()) {
        if (m_position % 5 == 0) {
            const double rate = elapsed > 0 ? kPhaseBytes * m_position / 100.0 / elapsed : 0.0;
            m_output.Event("progress", JsonObject()
                                           .Add("phase", m_phase)
                                           .Add("percent", m_position)
                                           .Add("bytes_per_second", static_cast<long>(rate)));
        }
    } else if (m_settings.terminalBar) {
        std::fprintf(m_output.Err(), "\r%s", BarLine(m_phase, m_position, elapsed, kPhaseBytes).c_str());
        std::fflush(m_output.Err());
        m_barOnLine = true;
    } else if (m_position % 25 == 0 && m_position > 0) {
        m_output.Note(BarLine(m_phase, m_position, elapsed, kPhaseBytes));
    }
    m_reported = m_position;
}
