// The console pipe between the programming run and the simulated loader: the same exchanges as
// the dialog's, an interruption that stops between two exchanges and never inside one, a new run
// that completes afterwards; and the closing check that holds the close byte back for fw verify.
#include <gtest/gtest.h>

#include "console_pipe.h"
#include "dialog_events.h"
#include "closing_check.h"
#include "image_gen.h"
#include "memory_store.h"
#include "recording_dialog.h"
#include "simulated_update_device.h"

namespace {

constexpr long kRunWrites = 1 + 352 + 1408;

class ConsolePipeRun : public testing::Test {
protected:
    UpdateDevice device{1, 4, 7};
    DevicePipe link{device};
    RecordingDialog face;
    FirmupProgramState state;
    TempFile image{sim::make_image(sim::ImageSpec{})};
};

}  // namespace

TEST_F(ConsolePipeRun, SameTransfersAsTheDialogsPipe) {
    ConsolePipe pipe(
        link, [] { return false; }, nullptr);
    ASSERT_EQ(ProgramFirmware(image.path(), 0x0104, face, pipe, state), RunOutcome::Completed);
    ASSERT_TRUE(CloseUpdateSession(face, pipe, state));

    UpdateDevice other{1, 4, 7};
    DevicePipe direct{other};
    RecordingDialog otherFace;
    FirmupProgramState otherState;
    ASSERT_EQ(ProgramFirmware(image.path(), 0x0104, otherFace, direct, otherState), RunOutcome::Completed);
    ASSERT_TRUE(CloseUpdateSession(otherFace, direct, otherState));

    ASSERT_EQ(link.ops.size(), direct.ops.size());
    for (size_t i = 0; i < link.ops.size(); ++i) {
        EXPECT_EQ(link.ops[i].write, direct.ops[i].write) << i;
        EXPECT_EQ(link.ops[i].bytes, direct.ops[i].bytes) << i;
        EXPECT_EQ(link.ops[i].size, direct.ops[i].size) << i;
    }
    EXPECT_EQ(pipe.Writes(), kRunWrites + 1408 + 1);  // the run, the reads of the check, the close byte
    EXPECT_FALSE(device.update_mode());
}

TEST_F(ConsolePipeRun, InterruptionStopsBetweenExchangesThenANewRunCompletes) {
    long writes = 0;
    // Count what reached the device: the interruption arrives after 600 packets went out.
    struct Counting : UpdatePipe {
        UpdatePipe& inner;
        long& writes;
        Counting(UpdatePipe& i, long& w) : inner(i), writes(w) {}
        int Write(const uint8_t* d, uint32_t s) override { return ++writes, inner.Write(d, s); }
        int Read(uint8_t* d, uint32_t s) override { return inner.Read(d, s); }
        std::string DeviceId() override { return inner.DeviceId(); }
    } counting(link, writes);
    ConsolePipe interrupted(
        counting, [&writes] { return writes >= 600; }, nullptr);
    EXPECT_EQ(ProgramFirmware(image.path(), 0x0104, face, interrupted, state), RunOutcome::Stopped);
    EXPECT_TRUE(interrupted.Stopped());
    EXPECT_EQ(writes, 600);
    // Every packet that went out got its reply read: no exchange was cut in two.
    ASSERT_EQ(link.ops.size(), 1200u);
    for (size_t i = 0; i < link.ops.size(); ++i) {
        EXPECT_EQ(link.ops[i].write, i % 2 == 0) << i;
    }
    EXPECT_TRUE(device.loader().protocol_errors().empty());
    EXPECT_TRUE(device.update_mode());

    // The next command: a new pipe, the same update completes and checks out.
    ConsolePipe pipe(
        link, [] { return false; }, nullptr);
    RecordingDialog again;
    EXPECT_EQ(ProgramFirmware(image.path(), 0xFFFF, again, pipe, state), RunOutcome::Completed);
    EXPECT_TRUE(CloseUpdateSession(again, pipe, state));
    EXPECT_FALSE(device.update_mode());
    EXPECT_TRUE(device.flash().image_intact());
    EXPECT_EQ(device.flash_bytes(0x005FE0, 16), device.preserved_value());
}

TEST_F(ConsolePipeRun, AnInterruptionDuringAnExchangeLetsItsReplyBeRead) {
    bool interrupted = false;
    ConsolePipe pipe(
        link, [&interrupted] { return interrupted; }, nullptr);
    const uint8_t erase[5] = {0x03, 0x01, 0x00, 0x08, 0x00};
    uint8_t reply[1] = {0};
    ASSERT_NE(pipe.Write(erase, sizeof erase), -1);
    interrupted = true;  // Ctrl+C while the loader works on the erase
    EXPECT_NE(pipe.Read(reply, sizeof reply), -1);
    EXPECT_EQ(reply[0], 0x03);
    EXPECT_EQ(pipe.Write(erase, sizeof erase), -1);
    EXPECT_EQ(pipe.Read(reply, sizeof reply), -1);
    EXPECT_EQ(pipe.Writes(), 1);
}

TEST_F(ConsolePipeRun, VerifyHoldsTheCloseByteBackAndKeepsTheStoredBlock) {
    MemoryStore store;
    FirmupProgramState kept(&store);
    ConsolePipe pipe(
        link, [] { return false; }, nullptr);
    ASSERT_EQ(ProgramFirmware(image.path(), 0x0104, face, pipe, kept), RunOutcome::Completed);
    ASSERT_EQ(store.blocks.size(), 1u);
    const size_t runOps = link.ops.size();
    DialogEvents events(face);
    EXPECT_EQ(RunClosingCheck(events, pipe, kept, CloseByte::Hold), UpdateStop::Completed);
    EXPECT_TRUE(device.update_mode());
    EXPECT_EQ(link.ops.size() - runOps, 2u * 1408u);  // the reads of the check only
    EXPECT_EQ(store.blocks.size(), 1u) << "the session stays open, so its block's copy stays too";
    EXPECT_EQ(RunClosingCheck(events, pipe, kept, CloseByte::Send), UpdateStop::Completed);
    EXPECT_FALSE(device.update_mode());
    EXPECT_TRUE(store.blocks.empty());
}

TEST_F(ConsolePipeRun, AnInterruptionAfterTheReadBackKeepsTheCloseByteBack) {
    long writes = 0;
    struct Counting : UpdatePipe {
        UpdatePipe& inner;
        long& writes;
        Counting(UpdatePipe& i, long& w) : inner(i), writes(w) {}
        int Write(const uint8_t* d, uint32_t s) override { return ++writes, inner.Write(d, s); }
        int Read(uint8_t* d, uint32_t s) override { return inner.Read(d, s); }
        std::string DeviceId() override { return inner.DeviceId(); }
    } counting(link, writes);
    ConsolePipe interrupted(
        counting, [&writes] { return writes >= 1408; }, nullptr);
    DialogEvents events(face);
    // The flash checked out; the close byte stayed, and the check says which step was not taken.
    EXPECT_EQ(RunClosingCheck(events, interrupted, state, CloseByte::Send), UpdateStop::CloseNotSent);
    EXPECT_TRUE(interrupted.Stopped());
    EXPECT_TRUE(device.update_mode());
}
