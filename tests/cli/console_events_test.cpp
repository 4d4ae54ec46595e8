// The console view of the update engine's events: progress events at least every 5 %, phases,
// the tool's messages, the question answered once by --yes, a terminal or refusal.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "captured_stream.h"
#include "console_events.h"

namespace {

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

// A clock that moves one second per reading.
double Tick() {
    static double t = 0;
    return t += 1.0;
}

// The erase phase as the run reports it: 352 blocks of 64 bytes.
void ErasePhase(ConsoleEvents& events) {
    events.PhaseStarted(UpdatePhase::Erase);
    for (uint32_t done = 64; done <= 22528; done += 64) {
        events.Progress(UpdatePhase::Erase, done, 22528);
    }
}

}  // namespace

TEST(ConsoleEvents, JsonProgressEveryFivePercentOfEachPhase) {
    Captured out, err;
    ConsoleOutput output(true, out.file(), err.file());
    ConsoleEvents events(ConsoleSettings{}, output, nullptr, nullptr, Tick);
    events.PhaseStarted(UpdatePhase::ReadPreserved);
    ErasePhase(events);
    const std::string text = out.text();
    EXPECT_EQ(Count(text, "{\"event\":\"phase\",\"phase\":\"prepare\"}\n"), 1u);
    EXPECT_EQ(Count(text, "{\"event\":\"phase\",\"phase\":\"erase\"}\n"), 1u);
    EXPECT_EQ(Count(text, "\"event\":\"progress\",\"phase\":\"erase\""), 21u);  // 0, 5, ..., 100
    EXPECT_EQ(Count(text, "\"percent\":100,"), 1u);
    EXPECT_NE(text.find("\"percent\":55,\"bytes_per_second\":"), std::string::npos);
    EXPECT_EQ(err.text(), "");
}

TEST(ConsoleEvents, PlainLinesWithoutATerminal) {
    Captured out, err;
    ConsoleOutput output(false, out.file(), err.file());
    ConsoleEvents events(ConsoleSettings{}, output, nullptr, nullptr, Tick);
    ErasePhase(events);
    const std::string text = err.text();
    EXPECT_EQ(text.find("erase ...\n"), 0u);
    EXPECT_EQ(Count(text, "\n"), 5u);  // the phase, then 25, 50, 75 and 100 %
    EXPECT_NE(text.find("erase   [##############################] 100%"), std::string::npos);
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_EQ(out.text(), "");
}

TEST(ConsoleEvents, TerminalBarRedrawnInPlace) {
    Captured out, err;
    ConsoleOutput output(false, out.file(), err.file());
    ConsoleSettings settings;
    settings.terminalBar = true;
    ConsoleEvents events(settings, output, nullptr, nullptr, Tick);
    ErasePhase(events);
    events.EndBar();
    const std::string text = err.text();
    EXPECT_EQ(Count(text, "\r"), 101u);  // once per percentage, 0 to 100
    EXPECT_EQ(text.back(), '\n');
}

TEST(ConsoleEvents, BarLineTellsRateAndTimeLeft) {
    EXPECT_EQ(BarLine("write", 50, 2.0, 10000.0),
              "write   [###############---------------]  50%     5.0 kB/s  0:02 left");
    EXPECT_EQ(BarLine("check", 0, 0.0, 0.0), "check   [------------------------------]   0%     0.0 kB/s");
}

TEST(ConsoleEvents, PhaseNames) {
    EXPECT_STREQ(PhaseName(UpdatePhase::ReadPreserved), "prepare");
    EXPECT_STREQ(PhaseName(UpdatePhase::Erase), "erase");
    EXPECT_STREQ(PhaseName(UpdatePhase::Write), "write");
    EXPECT_STREQ(PhaseName(UpdatePhase::ReadBack), "check");
}

TEST(ConsoleEvents, StopsInTheToolsWords) {
    Captured out, err;
    ConsoleOutput text(false, out.file(), err.file());
    ConsoleEvents events(ConsoleSettings{}, text, nullptr, nullptr, Tick);
    events.PhaseStarted(UpdatePhase::Write);
    events.Ended(UpdateStop::WriteFailed);
    EXPECT_EQ(err.text(), "write ...\nFail to write memory area.\n");
    EXPECT_EQ(events.LastStop(), UpdateStop::WriteFailed);

    Captured jout, jerr;
    ConsoleOutput json(true, jout.file(), jerr.file());
    ConsoleEvents jevents(ConsoleSettings{}, json, nullptr, nullptr, Tick);
    jevents.Ended(UpdateStop::ReadBackMismatch);
    EXPECT_EQ(jout.text(),
              "{\"event\":\"message\",\"id\":121,\"text\":\"Firmware was not updated properly. Please rewrite the "
              "firmware again.\"}\n");
}

TEST(ConsoleEvents, ARunThatCompletedSaysSoACheckThatMatchedSaysNothing) {
    Captured out, err;
    ConsoleOutput output(false, out.file(), err.file());
    ConsoleSettings settings;
    settings.terminalBar = true;  // no phase lines
    ConsoleEvents events(settings, output, nullptr, nullptr, Tick);
    events.PhaseStarted(UpdatePhase::Write);
    events.Ended(UpdateStop::Completed);
    events.PhaseStarted(UpdatePhase::ReadBack);
    events.Ended(UpdateStop::Completed);
    events.Ended(UpdateStop::Declined);
    EXPECT_EQ(err.text(), "Firmware was updated properly.\n");
}

TEST(ConsoleEvents, AfterAnInterruptionTheFailureIsKeptNotShown) {
    Captured out, err;
    ConsoleOutput output(false, out.file(), err.file());
    ConsoleSettings settings;
    settings.terminalBar = true;
    ConsoleEvents events(
        settings, output, nullptr, [] { return true; }, Tick);
    events.Ended(UpdateStop::WriteFailed);
    EXPECT_EQ(events.LastStop(), UpdateStop::WriteFailed);
    EXPECT_EQ(err.text(), "");
}

TEST(ConsoleEvents, QuestionWithoutTerminalOrYesIsRefused) {
    Captured out, err;
    ConsoleOutput output(false, out.file(), err.file());
    ConsoleEvents events(ConsoleSettings{}, output, nullptr, nullptr, Tick);
    EXPECT_FALSE(events.ConfirmOlderOrEqual(0x0104, 0x0104));
    EXPECT_NE(err.text().find("Do you continue? [y/N] no (no terminal to ask: refused (use --yes))"),
              std::string::npos);
}

TEST(ConsoleEvents, QuestionAnsweredByYesOnceForBothRuns) {
    Captured out, err;
    ConsoleOutput output(true, out.file(), err.file());
    ConsoleSettings settings;
    settings.yes = true;
    ConsoleEvents events(settings, output, nullptr, nullptr, Tick);
    EXPECT_TRUE(events.ConfirmOlderOrEqual(0x0104, 0x0105));
    EXPECT_TRUE(events.ConfirmOlderOrEqual(0x0104, 0x0105));
    EXPECT_EQ(Count(out.text(), "\"event\":\"question\""), 1u);
    EXPECT_NE(out.text().find("\"id\":114,"), std::string::npos);
    EXPECT_NE(out.text().find("\"answer\":\"yes\""), std::string::npos);
}

TEST(ConsoleEvents, QuestionOnATerminalReadsTheAnswer) {
    for (const char* answer : {"y\n", "n\n", "\n", ""}) {
        Captured out, err;
        ConsoleOutput output(false, out.file(), err.file());
        ConsoleSettings settings;
        settings.canAsk = true;
        std::FILE* in = fmemopen(const_cast<char*>(answer), std::strlen(answer) + 1, "r");
        ConsoleEvents events(settings, output, in, nullptr, Tick);
        EXPECT_EQ(events.ConfirmOlderOrEqual(0x0105, 0x0105), answer[0] == 'y') << answer;
        EXPECT_EQ(err.text(),
                  "Selected firmware version is 1.05. Same or an older version of firmware is selected. "
                  "Do you continue? [y/N] ");
        std::fclose(in);
    }
}

TEST(ConsoleEvents, TheModelOptionAllowsTheOtherModel) {
    Captured out, err;
    ConsoleOutput output(false, out.file(), err.file());
    ConsoleSettings settings;
    EXPECT_FALSE(ConsoleEvents(settings, output, nullptr, nullptr, Tick).AllowModelChange());
    settings.allowModelChange = true;
    EXPECT_TRUE(ConsoleEvents(settings, output, nullptr, nullptr, Tick).AllowModelChange());
}
