// The progress bar step by step: colours, positions and texts of the erase, write and close phases.
#include <gtest/gtest.h>

#include <cstdio>

#include "dialog_events.h"
#include "image_gen.h"
#include "recording_dialog.h"
#include "simulated_update_device.h"

namespace {

// One phase as the bar saw it: the calls from its colours to the next phase's colours.
struct Phase {
    FaceCall colors;
    std::vector<FaceCall> calls;
};

std::vector<Phase> SplitPhases(const std::vector<FaceCall>& calls) {
    std::vector<Phase> phases;
    for (const FaceCall& c : calls) {
        if (c.kind == FaceCall::Colors) {
            phases.push_back({c, {}});
        } else if (!phases.empty()) {
            phases.back().calls.push_back(c);
        }
    }
    return phases;
}

bool SameColor(const BarColor& a, const BarColor& b) {
    return a.system == b.system && a.value == b.value;
}

void ExpectColors(const FaceCall& call, BarColor bar) {
    EXPECT_TRUE(SameColor(call.colors[0], SysColor(14)));  // COLOR_HIGHLIGHTTEXT
    EXPECT_TRUE(SameColor(call.colors[1], SysColor(8)));   // COLOR_WINDOWTEXT
    EXPECT_TRUE(SameColor(call.colors[2], bar)) << call.colors[2].system << " " << std::hex << call.colors[2].value;
}

// The phase opens with position 0, an empty text and a redraw; then per command at most one
// step and exactly one text. Returns the texts set per command.
std::vector<std::string> CommandTexts(const Phase& phase, size_t commands) {
    const auto& c = phase.calls;
    EXPECT_GE(c.size(), 3u);
    EXPECT_EQ(c[0].kind, FaceCall::SetPos);
    EXPECT_EQ(c[0].value, 0);
    EXPECT_EQ(c[1].kind, FaceCall::Text);
    EXPECT_EQ(c[1].text, "");
    EXPECT_EQ(c[2].kind, FaceCall::Redraw);
    std::vector<std::string> texts;
    int steps_since_text = 0;
    for (size_t i = 3; i < c.size() && texts.size() < commands; ++i) {
        if (c[i].kind == FaceCall::Step) {
            ++steps_since_text;
            EXPECT_LE(steps_since_text, 1) << "two steps for one command";
        } else if (c[i].kind == FaceCall::Text) {
            texts.push_back(c[i].text);
            steps_since_text = 0;
        } else {
            EXPECT_EQ(c[i].kind, FaceCall::GetPos);
        }
    }
    EXPECT_EQ(texts.size(), commands);
    return texts;
}

std::string Text(const char* label, int position) {
    char text[40];
    std::snprintf(text, sizeof text, "%s %03d%%", label, position);
    return text;
}

}  // namespace

TEST(Progress, ProgrammingRun) {
    struct Case {
        uint32_t size;
        int last_write;
    } cases[] = {{22528, 100}, {22536, 99}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        UpdateDevice device;
        DevicePipe pipe(device);
        pipe.record = false;
        RecordingDialog face;
        FirmupProgramState state;
        sim::ImageSpec spec;
        spec.size = c.size;
        TempFile file(sim::make_image(spec));
        ASSERT_EQ(ProgramFirmware(file.path(), 0x0104, face, pipe, state), RunOutcome::Completed);

        // The check box is read for the tag; then, before the first command: position 0,
        // "please waiting...", a redraw.
        ASSERT_GE(face.calls.size(), 5u);
        EXPECT_EQ(face.calls[0].kind, FaceCall::CheckBox);
        EXPECT_EQ(face.calls[1].kind, FaceCall::SetPos);
        EXPECT_EQ(face.calls[1].value, 0);
        EXPECT_EQ(face.calls[2].text, "please waiting...");
        EXPECT_EQ(face.calls[3].kind, FaceCall::Redraw);
        EXPECT_EQ(face.calls[4].kind, FaceCall::Colors);

        const std::vector<Phase> phases = SplitPhases(face.calls);
        ASSERT_EQ(phases.size(), 2u);
        ExpectColors(phases[0].colors, SysColor(13));  // COLOR_HIGHLIGHT
        ExpectColors(phases[1].colors, FixedColor(0x33CC66));

        // Erase: the bar climbs one step per command (001, 002, ...) until it meets the address
        // percentage over 0x5FC0, then follows it to 100.
        const std::vector<std::string> erase = CommandTexts(phases[0], 352);
        for (int k = 1; k <= 352; ++k) {
            const uint32_t address = 0x800 + 64 * (k - 1);
            const int percent = static_cast<int>(address * 100 / 0x5FC0);
            EXPECT_EQ(erase[k - 1], Text("Erase Flash", std::min(k, percent))) << k;
        }
        EXPECT_EQ(erase[0], "Erase Flash 001%");
        EXPECT_EQ(erase[8], "Erase Flash 009%");
        EXPECT_EQ(erase.back(), "Erase Flash 100%");

        // Write: the percentage of the file length written.
        const std::vector<std::string> write = CommandTexts(phases[1], 1408);
        for (int k = 1; k <= 1408; ++k) {
            const int percent = static_cast<int>(16u * k * 100 / c.size);
            EXPECT_EQ(write[k - 1], Text("Write Flash", std::min(k, percent))) << k;
        }
        EXPECT_EQ(write.back(), Text("Write Flash", c.last_write));

        // Then "Completed!!", a redraw, and message 119.
        const FaceCall* tail = &face.calls[face.calls.size() - 3];
        EXPECT_EQ(tail[0].text, "Completed!!");
        EXPECT_EQ(tail[1].kind, FaceCall::Redraw);
        EXPECT_EQ(tail[2].kind, FaceCall::Message);
        EXPECT_EQ(face.steps_at_top, 0);
    }
}

TEST(Progress, ShortFileStopsTheBarAtItsTop) {
    // A 100-byte image: the write percentage passes 100 after seven commands; the bar must not
    // be stepped beyond its range (the platform's control would start over).
    UpdateDevice device;
    DevicePipe pipe(device);
    RecordingDialog face;
    FirmupProgramState state;
    sim::ImageSpec spec;
    spec.size = 100;
    TempFile file(sim::make_image(spec));
    ASSERT_EQ(ProgramFirmware(file.path(), 0x0104, face, pipe, state), RunOutcome::Completed);
    const std::vector<std::string> write = CommandTexts(SplitPhases(face.calls)[1], 1408);
    EXPECT_EQ(write[0], "Write Flash 001%");
    EXPECT_EQ(write[99], "Write Flash 100%");
    EXPECT_EQ(write.back(), "Write Flash 100%");
    EXPECT_EQ(face.steps_at_top, 0);
}

TEST(Progress, ClosingCheck) {
    UpdateDevice device;
    DevicePipe pipe(device);
    pipe.record = false;
    RecordingDialog face;
    FirmupProgramState state;
    ASSERT_TRUE(CloseUpdateSession(face, pipe, state));

    const std::vector<Phase> phases = SplitPhases(face.calls);
    ASSERT_EQ(phases.size(), 1u);
    ExpectColors(phases[0].colors, FixedColor(0x0033FF));
    const std::vector<std::string> texts = CommandTexts(phases[0], 1408);
    for (int k = 1; k <= 1408; ++k) {
        EXPECT_EQ(texts[k - 1], Text("close session...", static_cast<int>(16u * k * 100 / 22528))) << k;
    }
    for (int k = 0; k < 14; ++k) {
        EXPECT_EQ(texts[k], "close session... 000%");
    }
    EXPECT_EQ(texts[14], "close session... 001%");
    EXPECT_EQ(texts.back(), "close session... 100%");
    EXPECT_EQ(face.steps_at_top, 0);
}

TEST(Progress, StoppedRunLeavesTheBarWhereItWas) {
    UpdateDevice device;
    DevicePipe pipe(device);
    RecordingDialog face;
    FirmupProgramState state;
    TempFile file(sim::make_image({}));
    device.loader().inject(1 + 352 + 704, sim::LoaderFault::WrongEcho);
    ASSERT_EQ(ProgramFirmware(file.path(), 0x0104, face, pipe, state), RunOutcome::Stopped);
    EXPECT_EQ(face.bar_text, "Write Flash 049%");  // 703 blocks written
    EXPECT_EQ(face.calls.back().kind, FaceCall::Message);
}
