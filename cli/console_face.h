// The console face of the programming run and of the closing check: message boxes become text
// lines (or JSON message events), the version question a prompt or the --yes answer, and the
// progress bar a terminal bar, plain lines, or JSON progress events.
#ifndef BRG40_CLI_CONSOLE_FACE_H
#define BRG40_CLI_CONSOLE_FACE_H

#include <cstdio>
#include <functional>
#include <string>

#include "console_output.h"
#include "dialog_face.h"

struct FaceSettings {
    bool yes = false;               // --yes: the version question is answered Yes
    bool canAsk = false;            // stdin and stderr are a terminal: the question is asked
    bool terminalBar = false;       // stderr is a terminal: one bar redrawn in place
    bool allowModelChange = false;  // --allow-model-change plays the conversion check box
};

class ConsoleFace : public DialogFace {
public:
    // stopped: true once the update was interrupted; the failure message that follows is then
    // kept (LastMessage) but not shown. now: seconds on a steady clock. in: where answers are read.
    ConsoleFace(const FaceSettings& settings,
                ConsoleOutput& output,
                std::FILE* in,
                std::function<bool()> stopped,
                std::function<double()> now);

    int ShowMessage(unsigned textId, unsigned captionId, BoxKind kind, bool hasVersion, unsigned major, unsigned minor)
        override;
    void SetBarColors(BarColor, BarColor, BarColor) override {}
    void SetBarPos(int position) override;
    int GetBarPos() override { return m_position; }
    void StepBar() override;
    void SetBarText(const char* text) override;
    void RedrawBar() override {}
    bool IsConversionChecked() override { return m_settings.allowModelChange; }

    // The text ID of the last message shown (0: none), and whether the question was answered No.
    unsigned LastMessage() const { return m_lastMessage; }
    bool Declined() const { return m_declined; }
    // Ends a bar left on the terminal's line.
    void EndBar();

private:
    void Progress();
    FaceSettings m_settings;
    ConsoleOutput& m_output;
    std::FILE* m_in;
    std::function<bool()> m_stopped;
    std::function<double()> m_now;
    int m_position = 0;
    std::string m_phase;      // "prepare", "erase", "write", "check"
    double m_phaseStart = 0;  // seconds
    int m_reported = -1;      // the last position reported in this phase
    bool m_barOnLine = false;
    unsigned m_lastMessage = 0;
    bool m_declined = false;
    bool m_asked = false;  // the question is asked once; a second run of the rules gets the same answer
};

// The phase of a bar text ("Erase Flash 012%" is "erase"); empty for a text of no phase.
std::string PhaseOfBarText(const char* text);

// The terminal bar: "write   [#########-----------]  45%  11.3 kB/s  0:02 left".
std::string BarLine(const std::string& phase, int percent, double elapsedSeconds, double phaseBytes);

#endif
