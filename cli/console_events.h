// The update engine's events on the console: its phases and progress as a terminal bar, plain
// lines or JSON events, the version question as a prompt or the --yes answer, and the way a run or
// a check ended as the update tool's message (a text line, or a JSON message event).
#ifndef BRG40_CLI_CONSOLE_EVENTS_H
#define BRG40_CLI_CONSOLE_EVENTS_H

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "console_output.h"
#include "update_events.h"

struct ConsoleSettings {
    bool yes = false;               // --yes: the version question is answered Yes
    bool canAsk = false;            // stdin and stderr are a terminal: the question is asked
    bool terminalBar = false;       // stderr is a terminal: one bar redrawn in place
    bool allowModelChange = false;  // --allow-model-change: an image for the NKV-BRG40 may be written
    // With terminalBar: where the progress goes instead of a bar on stderr (a unit's live line).
    std::function<void(const char* phase, int percent, double bytesPerSecond)> bar;
};

class ConsoleEvents : public UpdateEvents {
public:
    // stopped: true once the update was interrupted; the failure that follows is then kept
    // (LastStop) but not shown. now: seconds on a steady clock. in: where answers are read.
    ConsoleEvents(const ConsoleSettings& settings,
                  ConsoleOutput& output,
                  std::FILE* in,
                  std::function<bool()> stopped,
                  std::function<double()> now);

    bool AllowModelChange() override { return m_settings.allowModelChange; }
    // Asked once: a second run of the rules (after the switch) gets the same answer.
    bool ConfirmOlderOrEqual(uint16_t imageVersion, uint16_t deviceVersion) override;
    void PhaseStarted(UpdatePhase phase) override;
    void Progress(UpdatePhase phase, uint32_t done, uint32_t total) override;
    void Ended(UpdateStop reason) override;

    // How the last run or check ended (Completed before any).
    UpdateStop LastStop() const { return m_lastStop; }
    // Ends a bar left on the terminal's line.
    void EndBar();

private:
    ConsoleSettings m_settings;
    ConsoleOutput& m_output;
    std::FILE* m_in;
    std::function<bool()> m_stopped;
    std::function<double()> m_now;
    UpdatePhase m_phase = UpdatePhase::ReadPreserved;
    double m_phaseStart = 0;  // seconds
    int m_reported = -1;      // the last percentage reported in this phase
    bool m_barOnLine = false;
    UpdateStop m_lastStop = UpdateStop::Completed;
    bool m_asked = false;
    bool m_declined = false;
};

// The name of a phase in brg40's output: "prepare", "erase", "write", "check".
const char* PhaseName(UpdatePhase phase);

// The terminal bar: "write   [#########-----------]  45%  11.3 kB/s  0:02 left"; doneBytes over
// elapsedSeconds gives the rate.
std::string BarLine(const char* phase, int percent, double elapsedSeconds, double doneBytes);

#endif
