// The engine in its own terms: the phases, bytes done out of a total, the question and the stop
// reason of a run and of a check, one image written to two devices unchanged, and the close byte
// held back on request.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "closing_check.h"
#include "image_gen.h"
#include "memory_store.h"
#include "programming_run.h"
#include "simulated_update_device.h"

namespace {

// Writes down every event in one line each: "phase erase", "progress erase 64/22528", ...
class EventLog : public UpdateEvents {
public:
    bool AllowModelChange() override { return false; }
    bool ConfirmOlderOrEqual(uint16_t image, uint16_t device) override {
        lines.push_back("question " + std::to_string(image) + " " + std::to_string(device));
        return answer;
    }
    void PhaseStarted(UpdatePhase phase) override { lines.push_back("phase " + Name(phase)); }
    void Progress(UpdatePhase phase, uint32_t done, uint32_t total) override {
        lines.push_back("progress " + Name(phase) + " " + std::to_string(done) + "/" + std::to_string(total));
    }
    void Ended(UpdateStop reason) override { lines.push_back("ended " + std::to_string(static_cast<int>(reason))); }

    // The lines that are not progress, and the first and last progress of each phase.
    std::vector<std::string> Outline() const {
        std::vector<std::string> out;
        for (size_t i = 0; i < lines.size(); ++i) {
            const bool progress = lines[i].rfind("progress", 0) == 0;
            const bool edge = i == 0 || i + 1 == lines.size() || lines[i - 1].rfind("progress", 0) != 0 ||
                              lines[i + 1].rfind("progress", 0) != 0;
            if (!progress || edge) {
                out.push_back(lines[i]);
            }
        }
        return out;
    }

    bool answer = true;
    std::vector<std::string> lines;

private:
    static std::string Name(UpdatePhase phase) {
        const char* names[] = {"preserved", "erase", "write", "readback"};
        return names[static_cast<int>(phase)];
    }
};

std::string Stop(UpdateStop reason) {
    return "ended " + std::to_string(static_cast<int>(reason));
}

}  // namespace

TEST(EngineEvents, ARunAndACheckInTheirOwnTerms) {
    UpdateDevice device{1, 4, 7};
    DevicePipe pipe{device};
    FirmupProgramState state;
    TempFile file(sim::make_image(sim::ImageSpec{}));
    EventLog log;
    EXPECT_EQ(RunProgramming(file.path(), 0x0105, log, pipe, state), UpdateStop::Completed);
    EXPECT_EQ(log.Outline(),
              (std::vector<std::string>{"question 261 261", "phase preserved", "phase erase", "progress erase 64/22528",
                                        "progress erase 22528/22528", "phase write", "progress write 16/22528",
                                        "progress write 22528/22528", Stop(UpdateStop::Completed)}));
    EXPECT_EQ(log.lines.size(), 1u + 1 + 1 + 352 + 1 + 1408 + 1);

    EventLog check;
    EXPECT_EQ(RunClosingCheck(check, pipe, state, CloseByte::Send), UpdateStop::Completed);
    EXPECT_EQ(check.Outline(),
              (std::vector<std::string>{"phase readback", "progress readback 16/22528", "progress readback 22528/22528",
                                        Stop(UpdateStop::Completed)}));
}

TEST(EngineEvents, RefusalsAndADeclinedQuestionSendNothing) {
    UpdateDevice device{1, 4, 7};
    DevicePipe pipe{device};
    FirmupProgramState state;
    std::vector<uint8_t> damaged = sim::make_image(sim::ImageSpec{});
    damaged[100] ^= 0x01;  // covered by the checksum
    TempFile bad(damaged);
    TempFile good(sim::make_image(sim::ImageSpec{}));
    EventLog log;
    EXPECT_EQ(RunProgramming(bad.path(), 0x0104, log, pipe, state), UpdateStop::ChecksumMismatch);
    EXPECT_EQ(RunProgramming("/nonexistent/brg40.fwu", 0x0104, log, pipe, state), UpdateStop::ImageUnreadable);
    log.answer = false;
    EXPECT_EQ(RunProgramming(good.path(), 0xFFFF, log, pipe, state), UpdateStop::Declined);
    EXPECT_EQ(log.lines,
              (std::vector<std::string>{Stop(UpdateStop::ChecksumMismatch), Stop(UpdateStop::ImageUnreadable),
                                        "question 261 65535", Stop(UpdateStop::Declined)}));
    EXPECT_TRUE(pipe.ops.empty());
}

TEST(EngineEvents, OneCheckedImageServesTwoDevicesEachWithItsOwnBlock) {
    CheckedImage image;
    TempFile file(sim::make_image(sim::ImageSpec{}));
    ASSERT_EQ(CheckImage(
                  file.path(), [] { return false; }, image),
              UpdateStop::Completed);
    EXPECT_EQ(image.version, 0x0105);
    const std::vector<uint8_t> before(image.bytes.get(), image.bytes.get() + kImageBufferSize);
    for (uint32_t serial : {7u, 8u}) {
        UpdateDevice device{1, 4, serial};
        DevicePipe pipe{device};
        FirmupProgramState state;
        EventLog log;
        EXPECT_EQ(WriteImage(image, log, pipe, state), UpdateStop::Completed);
        EXPECT_EQ(RunClosingCheck(log, pipe, state, CloseByte::Send), UpdateStop::Completed);
        EXPECT_EQ(device.flash_bytes(0x005FE0, 16), device.preserved_value()) << serial;
    }
    EXPECT_EQ(std::vector<uint8_t>(image.bytes.get(), image.bytes.get() + kImageBufferSize), before);
}

TEST(EngineEvents, AHeldCloseByteLeavesTheSessionAndItsStoredBlock) {
    UpdateDevice device{1, 4, 7};
    DevicePipe pipe{device};
    MemoryStore store;
    FirmupProgramState state(&store);
    TempFile file(sim::make_image(sim::ImageSpec{}));
    EventLog log;
    ASSERT_EQ(RunProgramming(file.path(), 0x0104, log, pipe, state), UpdateStop::Completed);
    EXPECT_EQ(RunClosingCheck(log, pipe, state, CloseByte::Hold), UpdateStop::Completed);
    EXPECT_TRUE(device.update_mode());
    EXPECT_EQ(store.blocks.size(), 1u);
    device.flash().bytes[0x1000] ^= 0xFF;  // the flash no longer checks out
    EXPECT_EQ(RunClosingCheck(log, pipe, state, CloseByte::Send), UpdateStop::ReadBackMismatch);
    EXPECT_TRUE(device.update_mode());
    EXPECT_EQ(store.blocks.size(), 1u);
}
