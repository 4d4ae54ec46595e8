// The console face as the programming run and the closing check drive it: progress events at
// least every 5 %, phases, messages, the question answered once by --yes, a terminal or refusal.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "console_face.h"
#include "progress_text.h"

namespace {

class Captured {
public:
    Captured() : m_file(open_memstream(&m_buffer, &m_size)) {}
    ~Captured() {
        std::fclose(m_file);
        std::free(m_buffer);
    }
    std::FILE* file() { return m_file; }
    std::string text() {
        std::fflush(m_file);
        return std::string(m_buffer, m_size);
    }

private:
    char* m_buffer = nullptr;
    size_t m_size = 0;
    std::FILE* m_file;
};

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

// The erase phase as the run drives the bar: 352 blocks.
void ErasePhase(ConsoleFace& face) {
    StartBarPhase(face, BarPhase::Erase);
    for (uint32_t a = 0x000800; a < 0x006000; a += 64) {
        AdvanceBar(face, BarPhase::Erase, ProgressPercent(a, 0x005FC0));
    }
}

}  // namespace

TEST(ConsoleFace, JsonProgressEveryFivePercentOfEachPhase) {
    Captured out, err;
    ConsoleOutput output(true, out.file(), err.file());
    ConsoleFace face(FaceSettings{}, output, nullptr, nullptr, Tick);
    face.SetBarText("please waiting...");
    ErasePhase(face);
    const std::string text = out.text();
    EXPECT_EQ(Count(text, "{\"event\":\"phase\",\"phase\":\"prepare\"}\n"), 1u);
    EXPECT_EQ(Count(text, "{\"event\":\"phase\",\"phase\":\"erase\"}\n"), 1u);
    EXPECT_EQ(Count(text, "\"event\":\"progress\",\"phase\":\"erase\""),
              20u);  // 5, 10, ..., 100: the first erase steps to 1
    EXPECT_EQ(Count(text, "\"percent\":100,"), 1u);
    EXPECT_NE(text.find("\"percent\":55,\"bytes_per_second\":"), std::string::npos);
    EXPECT_EQ(err.text(), "");
}

TEST(ConsoleFace, PlainLinesWithoutATerminal) {
    Captured out, err;
    ConsoleOutput output(false, out.file(), err.file());
    ConsoleFace face(FaceSettings{}, output, nullptr, nullptr, Tick);
    ErasePhase(face);
    const std::string text = err.text();
    EXPECT_EQ(text.find("erase ...\n"), 0u);
    EXPECT_EQ(Count(text, "\n"), 5u);  // the phase, then 25, 50, 75 and 100 %
    EXPECT_NE(text.find("erase   [##############################] 100%"), std::string::npos);
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_EQ(out.text(), "");
}

TEST(ConsoleFace, TerminalBarRedrawnInPlace) {
    Captured out, err;
    ConsoleOutput output(false, out.file(), err.file());
    FaceSettings settings;
    settings.terminalBar = true;
    ConsoleFace face(settings, output, nullptr, nullptr, Tick);
    ErasePhase(face);
    face.EndBar();
    const std::string text = err.text();
    EXPECT_EQ(Count(text, "\r"), 100u);  // once per position, 1 to 100
    EXPECT_EQ(text.back(), '\n');
}

TEST(ConsoleFace, BarLineTellsRateAndTimeLeft) {
    EXPECT_EQ(BarLine("write", 50, 2.0, 20000.0),
              "write   [###############---------------]  50%     5.0 kB/s  0:02 left");
    EXPECT_EQ(BarLine("check", 0, 0.0, 20000.0), "check   [------------------------------]   0%     0.0 kB/s");
}

TEST(ConsoleFace, PhasesOfTheBarTexts) {
    EXPECT_EQ(PhaseOfBarText("Erase Flash 010%"), "erase");
    EXPECT_EQ(PhaseOfBarText("Write Flash 100%"), "write");
    EXPECT_EQ(PhaseOfBarText("close session... 003%"), "check");
    EXPECT_EQ(PhaseOfBarText("please waiting..."), "prepare");
    EXPECT_EQ(PhaseOfBarText("Completed!!"), "");
    EXPECT_EQ(PhaseOfBarText(""), "");
}

TEST(ConsoleFace, MessagesInTheToolsWords) {
    Captured out, err;
    ConsoleOutput text(false, out.file(), err.file());
    ConsoleFace face(FaceSettings{}, text, nullptr, nullptr, Tick);
    EXPECT_EQ(face.ShowMessage(117, 108, kBoxWarning, false, 0, 0), kAnswerOk);
    EXPECT_EQ(err.text(), "Fail to write memory area.\n");
    EXPECT_EQ(face.LastMessage(), 117u);

    Captured jout, jerr;
    ConsoleOutput json(true, jout.file(), jerr.file());
    ConsoleFace jface(FaceSettings{}, json, nullptr, nullptr, Tick);
    jface.ShowMessage(121, 120, kBoxWarning, false, 0, 0);
    EXPECT_EQ(jout.text(),
              "{\"event\":\"message\",\"id\":121,\"text\":\"Firmware was not updated properly. Please rewrite the "
              "firmware again.\"}\n");
}

TEST(ConsoleFace, AfterAnInterruptionTheFailureIsKeptNotShown) {
    Captured out, err;
    ConsoleOutput output(false, out.file(), err.file());
    ConsoleFace face(
        FaceSettings{}, output, nullptr, [] { return true; }, Tick);
    face.ShowMessage(117, 108, kBoxWarning, false, 0, 0);
    EXPECT_EQ(face.LastMessage(), 117u);
    EXPECT_EQ(err.text(), "");
}

TEST(ConsoleFace, QuestionWithoutTerminalOrYesIsRefused) {
    Captured out, err;
    ConsoleOutput output(false, out.file(), err.file());
    ConsoleFace face(FaceSettings{}, output, nullptr, nullptr, Tick);
    EXPECT_EQ(face.ShowMessage(114, 105, kBoxQuestion, true, 1, 4), kAnswerNo);
    EXPECT_TRUE(face.Declined());
    EXPECT_NE(err.text().find("Do you continue? [y/N] no (no terminal to ask: refused (use --yes))"),
              std::string::npos);
}

TEST(ConsoleFace, QuestionAnsweredByYesOnceForBothRuns) {
    Captured out, err;
    ConsoleOutput output(true, out.file(), err.file());
    FaceSettings settings;
    settings.yes = true;
    ConsoleFace face(settings, output, nullptr, nullptr, Tick);
    EXPECT_EQ(face.ShowMessage(114, 105, kBoxQuestion, true, 1, 4), kAnswerYes);
    EXPECT_EQ(face.ShowMessage(114, 105, kBoxQuestion, true, 1, 4), kAnswerYes);
    EXPECT_EQ(Count(out.text(), "\"event\":\"question\""), 1u);
    EXPECT_NE(out.text().find("\"answer\":\"yes\""), std::string::npos);
}

TEST(ConsoleFace, QuestionOnATerminalReadsTheAnswer) {
    for (const char* answer : {"y\n", "n\n", "\n", ""}) {
        Captured out, err;
        ConsoleOutput output(false, out.file(), err.file());
        FaceSettings settings;
        settings.canAsk = true;
        std::FILE* in = fmemopen(const_cast<char*>(answer), std::strlen(answer) + 1, "r");
        ConsoleFace face(settings, output, in, nullptr, Tick);
        EXPECT_EQ(face.ShowMessage(114, 105, kBoxQuestion, true, 1, 5), answer[0] == 'y' ? kAnswerYes : kAnswerNo)
            << answer;
        EXPECT_EQ(err.text(),
                  "Selected firmware version is 1.05. Same or an older version of firmware is selected. "
                  "Do you continue? [y/N] ");
        std::fclose(in);
    }
}

TEST(ConsoleFace, TheModelOptionPlaysTheCheckBox) {
    Captured out, err;
    ConsoleOutput output(false, out.file(), err.file());
    FaceSettings settings;
    EXPECT_FALSE(ConsoleFace(settings, output, nullptr, nullptr, Tick).IsConversionChecked());
    settings.allowModelChange = true;
    EXPECT_TRUE(ConsoleFace(settings, output, nullptr, nullptr, Tick).IsConversionChecked());
}
