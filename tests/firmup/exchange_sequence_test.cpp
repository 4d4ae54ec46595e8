// The exact transfers of a programming run and of a closing check: counts, addresses, packet
// bytes and reply sizes; the close byte alone and only after a matching read-back.
#include <gtest/gtest.h>

#include "bytes.h"
#include "dialog_events.h"
#include "firmup_protocol.h"
#include "image_gen.h"
#include "memory_store.h"
#include "recording_dialog.h"
#include "simulated_update_device.h"

namespace {

// The image a run must program: the file, padded with 0xFF, the device's block at 22496, and the
// checksum over offsets 0 to L-10 stored anew at L-8 (low) and L-7 (high). Built here
// independently of the tool's code.
std::vector<uint8_t> ExpectedImage(std::vector<uint8_t> file, const std::vector<uint8_t>& preserved) {
    const size_t L = file.size();
    file.resize(24576, 0xFF);
    std::copy(preserved.begin(), preserved.end(), file.begin() + 22496);
    unsigned sum = 0;
    for (size_t i = 0; i + 9 < L; ++i) {
        sum += file[i];
    }
    file[L - 8] = static_cast<uint8_t>(sum & 0xFF);
    file[L - 7] = static_cast<uint8_t>((sum >> 8) & 0xFF);
    file.resize(22528);
    return file;
}

class ExchangeSequence : public testing::Test {
protected:
    UpdateDevice device{1, 4, 7};
    DevicePipe pipe{device};
    RecordingDialog face;
    FirmupProgramState state;
};

}  // namespace

TEST_F(ExchangeSequence, ProgrammingRun) {
    for (uint32_t size : {22528u, 22536u, 100u}) {
        SCOPED_TRACE(size);
        pipe.ops.clear();
        sim::ImageSpec spec;
        spec.size = size;
        spec.seed = 3;
        const std::vector<uint8_t> file = sim::make_image(spec);
        TempFile temp(file);
        ASSERT_EQ(ProgramFirmware(temp.path(), 0x0104, face, pipe, state), RunOutcome::Completed);
        const std::vector<uint8_t> image = ExpectedImage(file, device.preserved_value());

        // Every exchange is a write followed by a read; 1 + 352 + 1408 of them, nothing else.
        ASSERT_EQ(pipe.ops.size(), 2u * (1 + 352 + 1408));
        size_t i = 0;
        auto expect_exchange = [&](const std::vector<uint8_t>& sent, uint32_t reply_size) {
            const PipeOp& w = pipe.ops[i++];
            const PipeOp& r = pipe.ops[i++];
            ASSERT_TRUE(w.write);
            EXPECT_EQ(w.bytes, sent);
            EXPECT_EQ(w.size, sent.size());
            ASSERT_FALSE(r.write);
            EXPECT_EQ(r.size, reply_size);
        };
        expect_exchange(Bytes({0x01, 0x10, 0xE0, 0x5F, 0x00}), 21);
        for (uint32_t a = 0x0800; a <= 0x5FC0; a += 64) {
            SCOPED_TRACE(a);
            expect_exchange(Bytes({0x03, 0x01, int(a & 0xFF), int(a >> 8), 0x00}), 1);
        }
        for (uint32_t a = 0x0800; a <= 0x5FF0; a += 16) {
            SCOPED_TRACE(a);
            std::vector<uint8_t> packet = Bytes({0x02, 0x10, int(a & 0xFF), int(a >> 8), 0x00});
            packet.insert(packet.end(), image.begin() + (a - 0x800), image.begin() + (a - 0x800) + 16);
            expect_exchange(packet, 1);
        }
        EXPECT_EQ(device.flash_bytes(0x800, 22528), image);
        EXPECT_TRUE(device.loader().protocol_errors().empty());
        EXPECT_TRUE(device.update_mode());  // the run never sends the close byte
    }
}

TEST_F(ExchangeSequence, ClosingCheckAfterARun) {
    TempFile temp(sim::make_image({}));
    ASSERT_EQ(ProgramFirmware(temp.path(), 0x0104, face, pipe, state), RunOutcome::Completed);
    pipe.ops.clear();
    face.clear();

    EXPECT_TRUE(CloseUpdateSession(face, pipe, state));
    ASSERT_EQ(pipe.ops.size(), 2u * 1408 + 1);
    size_t i = 0;
    for (uint32_t a = 0x0800; a <= 0x5FF0; a += 16) {
        EXPECT_EQ(pipe.ops[i].bytes, Bytes({0x01, 0x10, int(a & 0xFF), int(a >> 8), 0x00})) << a;
        EXPECT_FALSE(pipe.ops[i + 1].write);
        EXPECT_EQ(pipe.ops[i + 1].size, 21u);
        i += 2;
    }
    // The close byte alone: one byte 0xFF, nothing read after it.
    EXPECT_TRUE(pipe.ops.back().write);
    EXPECT_EQ(pipe.ops.back().bytes, Bytes({0xFF}));
    EXPECT_TRUE(face.messages.empty());
    EXPECT_FALSE(device.update_mode());
    EXPECT_EQ(device.flash().version_major(), 1);
    EXPECT_EQ(device.flash().version_minor(), 5);
    EXPECT_EQ(device.flash_bytes(0x5FE0, 16), device.preserved_value());
    EXPECT_EQ(device.reported_version(), 0x0105);
}

TEST_F(ExchangeSequence, ClosingCheckWithoutARunOnAnIntactImage) {
    EXPECT_TRUE(CloseUpdateSession(face, pipe, state));
    EXPECT_EQ(pipe.ops.back().bytes, Bytes({0xFF}));
    EXPECT_FALSE(device.update_mode());
}

TEST_F(ExchangeSequence, CloseByteNeverWithoutAChecksumMatch) {
    struct Case {
        uint32_t address;
        bool passes;
    } cases[] = {
        {0x0800, false}, {0x3000, false}, {0x5FE0, false},
        {0x5FF6, false}, {0x5FF7, true},                   // the byte before the checksum is outside it
        {0x5FF8, false}, {0x5FF9, false}, {0x5FFA, true},  // the trailer after the checksum is not summed either
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        UpdateDevice dev;
        DevicePipe p(dev);
        RecordingDialog f;
        dev.flash().bytes[c.address] ^= 0x01;
        EXPECT_EQ(CloseUpdateSession(f, p, state), c.passes);
        ASSERT_EQ(p.ops.size(), 2u * 1408 + (c.passes ? 1 : 0));
        EXPECT_EQ(dev.update_mode(), !c.passes);
        for (const PipeOp& op : p.ops) {
            if (op.write && op.bytes.size() == 1) {
                EXPECT_TRUE(c.passes);
            }
        }
        const std::vector<ShownMessage> expected =
            c.passes ? std::vector<ShownMessage>{} : std::vector<ShownMessage>{{121, 120, kBoxWarning, false, 0, 0}};
        EXPECT_EQ(f.messages, expected);
    }
}

TEST_F(ExchangeSequence, NoDevice) {
    device.unplug();
    TempFile temp(sim::make_image({}));
    // The run: one read of the preserved block that finds nothing, message 125, no erase.
    EXPECT_EQ(ProgramFirmware(temp.path(), 0x0104, face, pipe, state), RunOutcome::Stopped);
    EXPECT_EQ(face.messages, (std::vector<ShownMessage>{{125, 124, kBoxWarning, false, 0, 0}}));
    EXPECT_EQ(pipe.ops.size(), 2u);
    // The close: one failed read, message 121 once, no close byte.
    pipe.ops.clear();
    face.clear();
    EXPECT_FALSE(CloseUpdateSession(face, pipe, state));
    EXPECT_EQ(face.messages, (std::vector<ShownMessage>{{121, 120, kBoxWarning, false, 0, 0}}));
    EXPECT_EQ(pipe.ops.size(), 2u);
}

TEST_F(ExchangeSequence, RepliesAreJudgedByTheirFirstByteOnly) {
    TempFile temp(sim::make_image({}));
    // A 5-byte answer to the preserved-block read carries the right echo but not the block: it
    // is no reply (message 125, nothing erased), never 16 zero bytes carried into the image.
    device.loader().inject(1, sim::LoaderFault::ShortReply);
    EXPECT_EQ(ProgramFirmware(temp.path(), 0x0104, face, pipe, state), RunOutcome::Stopped);
    EXPECT_EQ(face.messages, (std::vector<ShownMessage>{{125, 124, kBoxWarning, false, 0, 0}}));
    EXPECT_EQ(device.loader().request_count(), 1u);
    EXPECT_EQ(device.flash_bytes(0x5FE0, 16), device.preserved_value());
    face.clear();
    device.loader().clear_faults();

    // Another command's code in answer to an erase fails it.
    struct Case {
        sim::LoaderFault fault;
        uint32_t number;
        unsigned message;
    } cases[] = {
        {sim::LoaderFault::WrongEcho, 2, 116},   {sim::LoaderFault::NoReply, 2, 116},
        {sim::LoaderFault::ShortReply, 2, 116},  {sim::LoaderFault::Ignore, 1, 125},
        {sim::LoaderFault::WrongEcho, 354, 117}, {sim::LoaderFault::Ignore, 1761, 117},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.number);
        UpdateDevice dev;
        DevicePipe p(dev);
        RecordingDialog f;
        FirmupProgramState s;
        dev.loader().inject(c.number, c.fault);
        EXPECT_EQ(ProgramFirmware(temp.path(), 0x0104, f, p, s), RunOutcome::Stopped);
        ASSERT_EQ(f.messages.size(), 1u);
        EXPECT_EQ(f.messages[0].text, c.message);
        EXPECT_EQ(p.ops.size(), 2u * c.number);  // no exchange after the failed one
    }
}

TEST_F(ExchangeSequence, RunAgainReadsThePreservedBlockAgain) {
    TempFile temp(sim::make_image({}));
    ASSERT_EQ(ProgramFirmware(temp.path(), 0x0104, face, pipe, state), RunOutcome::Completed);
    pipe.ops.clear();
    ASSERT_EQ(ProgramFirmware(temp.path(), 0x0104, face, pipe, state), RunOutcome::Completed);
    EXPECT_EQ(pipe.ops[0].bytes, Bytes({0x01, 0x10, 0xE0, 0x5F, 0x00}));
    EXPECT_EQ(pipe.ops.size(), 2u * 1761);
    EXPECT_EQ(device.flash_bytes(0x5FE0, 16), device.preserved_value());
}

TEST_F(ExchangeSequence, PreservedBlockSurvivesARunStoppedAfterItsErase) {
    TempFile temp(sim::make_image({}));
    // The last erase (request 353) clears 0x5FC0..0x5FFF; stop before 0x5FE0 is written again.
    device.loader().inject(1 + 352 + 10, sim::LoaderFault::NoReply);
    ASSERT_EQ(ProgramFirmware(temp.path(), 0x0104, face, pipe, state), RunOutcome::Stopped);
    ASSERT_EQ(device.flash_bytes(0x5FE0, 16), std::vector<uint8_t>(16, 0xFF));
    ASSERT_TRUE(state.HasKeptBlock());

    // The retry finds the block erased and carries the copy kept from the first read.
    ASSERT_EQ(ProgramFirmware(temp.path(), 0x0104, face, pipe, state), RunOutcome::Completed);
    EXPECT_EQ(device.flash_bytes(0x5FE0, 16), device.preserved_value());
    EXPECT_TRUE(CloseUpdateSession(face, pipe, state));
    EXPECT_FALSE(device.update_mode());
}

TEST(ProgramState, KeepsTheFirstBlockThatIsNotErased) {
    FirmupProgramState state;
    auto carry = [&state](const std::vector<uint8_t>& read) {
        const uint8_t* p = state.PreservedBlockToCarry("dev", read.data());
        return std::vector<uint8_t>(p, p + 16);
    };
    const std::vector<uint8_t> erased(16, 0xFF);
    std::vector<uint8_t> a(16, 0x11), b(16, 0x22);
    a[15] = 0xFF;

    // Nothing kept yet: an erased block is carried as read and not kept.
    EXPECT_EQ(carry(erased), erased);
    EXPECT_FALSE(state.HasKeptBlock());
    EXPECT_EQ(carry(a), a);
    ASSERT_TRUE(state.HasKeptBlock());
    // Another value read later is carried as read; an erased one gets the kept copy.
    EXPECT_EQ(carry(b), b);
    EXPECT_EQ(carry(erased), a);
    EXPECT_EQ(std::vector<uint8_t>(state.KeptBlock(), state.KeptBlock() + 16), a);
}

TEST(ProgramState, CarriesAStoredCopyOnlyToItsOwnDeviceUntilTheSessionCloses) {
    MemoryStore store;
    const std::vector<uint8_t> erased(16, 0xFF), a(16, 0x11), b(16, 0x22);
    auto carry = [](FirmupProgramState& state, const char* device, const std::vector<uint8_t>& read) {
        const uint8_t* p = state.PreservedBlockToCarry(device, read.data());
        return std::vector<uint8_t>(p, p + 16);
    };
    {
        FirmupProgramState first(&store);
        EXPECT_EQ(carry(first, "one", a), a);
        EXPECT_EQ(store.blocks.count("one"), 1u) << "stored before the first erase";
        EXPECT_EQ(carry(first, "two", erased), erased) << "never another device's block";
        EXPECT_EQ(carry(first, "one", erased), a);
        EXPECT_EQ(carry(first, "two", b), b);
        EXPECT_EQ(carry(first, "two", erased), b);
    }
    EXPECT_EQ(store.blocks.size(), 2u) << "an erased block is never stored";
    // The next program finds the copies on disk.
    FirmupProgramState next(&store);
    EXPECT_EQ(carry(next, "one", erased), a);
    next.SessionClosed("one");
    EXPECT_EQ(store.blocks.count("one"), 0u);
    EXPECT_EQ(store.blocks.count("two"), 1u);
    FirmupProgramState third(&store);
    EXPECT_EQ(carry(third, "one", erased), erased);
}

TEST_F(ExchangeSequence, CloseByteThatCannotBeSentIsReportedAndKeepsTheStoredBlock) {
    // The device goes between the last read and the close byte: the command pipe does not open.
    struct GoneBeforeClose : DevicePipe {
        using DevicePipe::DevicePipe;
        UpdateDevice* device = nullptr;
        int reads = 0;
        int Read(uint8_t* data, uint32_t size) override {
            const int count = DevicePipe::Read(data, size);
            if (++reads == 1408) {
                device->unplug();
            }
            return count;
        }
    } gone{device};
    gone.device = &device;
    MemoryStore store;
    store.blocks["usb#vid_1f3a&pid_0c21#sim7"] = {};
    FirmupProgramState withStore(&store);
    EXPECT_FALSE(CloseUpdateSession(face, gone, withStore));
    EXPECT_EQ(face.messages, (std::vector<ShownMessage>{{121, 120, kBoxWarning, false, 0, 0}}));
    EXPECT_FALSE(device.loader().close_requested());
    EXPECT_EQ(store.blocks.size(), 1u) << "the session is still open";

    // Sent, the close byte ends the session and its stored block goes.
    UpdateDevice other{1, 4, 8};
    DevicePipe otherPipe{other};
    store.blocks[other.id()] = {};
    face.clear();
    EXPECT_TRUE(CloseUpdateSession(face, otherPipe, withStore));
    EXPECT_TRUE(face.messages.empty());
    EXPECT_EQ(store.blocks.count(other.id()), 0u);
}
