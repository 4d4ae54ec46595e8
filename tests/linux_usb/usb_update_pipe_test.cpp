// The libusb update pipe against the converter on an emulated USB bus: a whole programming run and
// closing check over the first bulk endpoints, an unplug in the middle of the writes that a
// second run recovers from with the block kept in the state folder, and the faults of the
// endpoints themselves: a stall, replies longer than asked, a reply left from an earlier run.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <thread>

#include "bench_face.h"
#include "converter_link.h"
#include "dialog_events.h"
#include "firmup_messages.h"
#include "firmup_protocol.h"
#include "image_gen.h"
#include "mock_usb.h"
#include "recording_dialog.h"
#include "simulated_update_device.h"
#include "state_dir_store.h"
#include "usb_update_device.h"
#include "usb_update_pipe.h"

namespace {

// The unit of the fixture: the device at port 1-2, without a serial.
const UpdateUnit kUnit{"1-2", "", "usb-1-2"};

std::vector<std::string> Paths(const std::vector<UpdateUnit>& units) {
    std::vector<std::string> paths;
    for (const UpdateUnit& u : units) {
        paths.push_back(u.path);
    }
    return paths;
}

bool Any(const std::vector<UpdateUnit>& units) {
    return !units.empty();
}

// A fresh folder for the store, removed with its files at the end.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = testing::TempDir() + "brg40_state_XXXXXX";
        path_ = mkdtemp(&pattern[0]) != nullptr ? pattern : std::string();
    }
    ~TempFolder() { std::filesystem::remove_all(path_); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

class UsbUpdatePipeTest : public testing::Test {
protected:
    void SetUp() override {
        const char* preload = std::getenv("LD_PRELOAD");
        ASSERT_TRUE(preload != nullptr && std::strstr(preload, "umockdev-preload") != nullptr)
            << "run under umockdev-wrapper";
        usb.plug();
    }
    void TearDown() override { EXPECT_TRUE(usb.unknown_requests().empty()) << usb.unknown_requests()[0]; }

    // The flash a run of the same image leaves on a converter reached without USB.
    std::array<uint8_t, sim::kFlashSize> ReferenceFlash() {
        UpdateDevice reference(1, 4, 9);
        DevicePipe pipe(reference);
        RecordingDialog face;
        FirmupProgramState state;
        EXPECT_EQ(ProgramFirmware(image.path(), 0x0104, face, pipe, state), RunOutcome::Completed);
        return reference.flash().bytes;
    }

    // A completed run says so; the closing check that passes adds nothing.
    void ExpectOnlyUpdatedMessage() {
        ASSERT_EQ(face.messages.size(), 1u);
        EXPECT_EQ(face.messages[0].text, kMsgUpdated.text);
        face.clear();
    }

    // First member: the testbed outlives the emulated device.
    std::unique_ptr<UMockdevTestbed, decltype(&g_object_unref)> bed{umockdev_testbed_new(), g_object_unref};
    UMockdevTestbed* testbed = bed.get();
    UpdateDevice device{1, 4, 9};
    ConverterLink link{device};
    sim::MockUsb usb{testbed, link, 1, "1-2", ""};
    TempFile image{sim::make_image({})};  // 1.05 over the device's 1.04
    TempFolder folder;
    StateDirStore store{folder.path()};
    RecordingDialog face;
};

TEST_F(UsbUpdatePipeTest, WholeRunAndClosingCheckOverTheFirstBulkEndpoints) {
    const auto expected = ReferenceFlash();
    usb.bind_driver("usbhid");  // the pipe must take the interface from it
    UsbUpdatePipe pipe(kUnit);
    FirmupProgramState state(&store);
    ASSERT_EQ(ProgramFirmware(image.path(), 0x0104, face, pipe, state), RunOutcome::Completed);
    EXPECT_EQ(pipe.DeviceId(), "usb-1-2");
    EXPECT_EQ(usb.driver_disconnects(), 1u);
    EXPECT_EQ(pipe.CommandEndpoint(), sim::kMockCommandEndpoint);
    EXPECT_EQ(pipe.ReplyEndpoint(), sim::kMockReplyEndpoint);
    EXPECT_EQ(device.flash().bytes, expected);
    EXPECT_TRUE(std::filesystem::exists(folder.path() + "/preserved-usb-1-2.bin"));
    ExpectOnlyUpdatedMessage();

    EXPECT_TRUE(CloseUpdateSession(face, pipe, state));
    EXPECT_TRUE(face.messages.empty());
    EXPECT_FALSE(device.update_mode());
    EXPECT_EQ(device.reported_version(), 0x0105);
    EXPECT_EQ(device.flash_bytes(0x5FE0, 16), device.preserved_value());
    EXPECT_TRUE(device.loader().protocol_errors().empty());
    EXPECT_EQ(usb.endpoints_used(), (std::set<uint8_t>{sim::kMockCommandEndpoint, sim::kMockReplyEndpoint}));
    EXPECT_TRUE(std::filesystem::is_empty(folder.path())) << "the stored copy goes with the session";
}

TEST_F(UsbUpdatePipeTest, UnplugDuringTheWritesFailsTheRunAndTheNextRunRecovers) {
    // Exchange 1 reads the block, 2 to 353 erase, the writes follow: stop ten writes in, when the
    // last erase has cleared the block on the device.
    const std::string firstNode = usb.devnode();
    usb.unplug_at_out(1 + 352 + 10);
    {
        UsbUpdatePipe pipe(kUnit);
        FirmupProgramState state(&store);
        EXPECT_EQ(ProgramFirmware(image.path(), 0x0104, face, pipe, state), RunOutcome::Stopped);
        ASSERT_EQ(face.messages.size(), 1u);
        EXPECT_EQ(face.messages[0].text, 117u);  // the write failed
        EXPECT_FALSE(usb.plugged());
        EXPECT_EQ(pipe.DeviceId(), "");
    }
    ASSERT_EQ(device.flash_bytes(0x5FE0, 16), std::vector<uint8_t>(16, 0xFF));
    ASSERT_TRUE(device.update_mode());

    // The program starts again (a new state: only the folder remembers) on the device plugged
    // back in at a new address on the same port.
    usb.unplug_at_out(0);
    usb.plug();
    face.clear();
    UsbUpdatePipe pipe(kUnit);
    FirmupProgramState state(&store);
    ASSERT_EQ(ProgramFirmware(image.path(), 0x0104, face, pipe, state), RunOutcome::Completed);
    EXPECT_NE(usb.devnode(), firstNode) << "a new address on the same port";
    ExpectOnlyUpdatedMessage();
    EXPECT_TRUE(CloseUpdateSession(face, pipe, state));
    EXPECT_TRUE(face.messages.empty());
    EXPECT_EQ(device.reported_version(), 0x0105);
    EXPECT_EQ(device.flash_bytes(0x5FE0, 16), device.preserved_value());
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

// Reads flash block address over pipe into reply and tells whether the echo and the data are the
// device's (flash address to address + 15).
::testing::AssertionResult ReadsBlock(UsbUpdatePipe& pipe, UpdateDevice& device, uint32_t address, uint8_t* reply) {
    CommandPacket packet = {};
    if (!ReadFlashBlock(pipe, packet, reply, address)) {
        return ::testing::AssertionFailure() << "no reply with the read's echo";
    }
    const std::vector<uint8_t> data(reply + kReplyDataOffset, reply + kReplyDataOffset + kFlashBlockSize);
    if (data != device.flash_bytes(address, kFlashBlockSize)) {
        return ::testing::AssertionFailure() << "another block's data";
    }
    return ::testing::AssertionSuccess();
}

// A stalled endpoint fails the exchange it stalls; the halt is cleared on that endpoint, and the
// next exchange works without the device being plugged again.
TEST_F(UsbUpdatePipeTest, AStallFailsItsExchangeAndIsCleared) {
    for (uint8_t endpoint : {sim::kMockCommandEndpoint, sim::kMockReplyEndpoint}) {
        SCOPED_TRACE(static_cast<int>(endpoint));
        UsbUpdatePipe pipe(kUnit);
        uint8_t reply[kReadReplySize];
        ASSERT_TRUE(ReadsBlock(pipe, device, 0x0800, reply));
        const uint32_t cleared = usb.halts_cleared();
        usb.halt(endpoint);
        EXPECT_FALSE(ReadsBlock(pipe, device, 0x0810, reply));
        EXPECT_EQ(usb.halts_cleared(), cleared + 1);
        EXPECT_TRUE(ReadsBlock(pipe, device, 0x0820, reply));
    }
}

// A loader that answers with whole packets: each exchange gets its reply, and only the bytes
// asked for reach the caller.
TEST_F(UsbUpdatePipeTest, RepliesLongerThanAskedAreCutToWhatWasAsked) {
    usb.pad_replies(sim::kMockPacketSize);
    UsbUpdatePipe pipe(kUnit);
    std::vector<uint8_t> reply(sim::kMockPacketSize, 0xA5);
    EXPECT_TRUE(ReadsBlock(pipe, device, 0x0800, reply.data()));  // 21 bytes asked
    EXPECT_EQ(std::vector<uint8_t>(reply.begin() + kReadReplySize, reply.end()),
              std::vector<uint8_t>(reply.size() - kReadReplySize, 0xA5));

    std::fill(reply.begin(), reply.end(), 0xA5);
    CommandPacket erase = {};
    erase.packet.command = CMD_ERASE_FLASH;
    erase.packet.length = 1;
    SetPacketAddress(erase.packet, 0x0800);
    int count = 0;
    EXPECT_TRUE(FirmupExchange(pipe, erase, reply.data(), &count));  // the echo alone asked
    EXPECT_EQ(count, 1);
    EXPECT_EQ(reply[1], 0xA5);
    EXPECT_EQ(device.flash_bytes(0x0800, kEraseBlockSize), std::vector<uint8_t>(kEraseBlockSize, 0xFF));
}

// A read's reply that an earlier run left in the reply endpoint (its program ended before reading
// it) is never taken for the answer to this run's first request.
TEST_F(UsbUpdatePipeTest, AReplyLeftFromAnEarlierRunIsDropped) {
    std::vector<uint8_t> stale = {CMD_READ_FLASH, kFlashBlockSize, 0x00, 0x50, 0x00};
    stale.resize(kReadReplySize, 0x5A);
    usb.hold_reply(stale);
    UsbUpdatePipe pipe(kUnit);
    uint8_t reply[kReadReplySize];
    EXPECT_TRUE(ReadsBlock(pipe, device, 0x0800, reply));
    EXPECT_TRUE(ReadsBlock(pipe, device, 0x0810, reply)) << "no exchange answered by the one before";
}

TEST_F(UsbUpdatePipeTest, ListAndWaitFollowThePlug) {
    UsbContext usbContext;
    ASSERT_NE(usbContext.context(), nullptr);
    EXPECT_EQ(Paths(ListUsbUpdateUnits(usbContext.context())), std::vector<std::string>{"1-2"});
    usb.unplug();
    EXPECT_TRUE(ListUsbUpdateUnits(usbContext.context()).empty());
    EXPECT_FALSE(WaitForUsbUpdateUnits(
        usbContext.context(), 0.3, [] { return false; }, Any));

    std::thread later([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        usb.plug();
    });
    EXPECT_TRUE(WaitForUsbUpdateUnits(
        usbContext.context(), 60, [] { return false; }, Any));
    later.join();
    EXPECT_EQ(Paths(ListUsbUpdateUnits(usbContext.context())), std::vector<std::string>{"1-2"});
}

TEST_F(UsbUpdatePipeTest, TheBenchKeepsTheDeviceOnTheBusWhileTheConverterIsInUpdateMode) {
    usb.unplug();
    sim::SerialLink serial(link);
    sim::BenchFace bench(testbed, serial);
    bench.step();
    ASSERT_NE(bench.usb(1), nullptr);
    EXPECT_TRUE(bench.usb(1)->plugged());
    device.unplug();
    bench.step();
    EXPECT_FALSE(bench.usb(1)->plugged());
    device.converter().replug();
    bench.step();
    EXPECT_TRUE(bench.usb(1)->plugged());

    // The close byte starts the intact image: the converter leaves update mode and the USB
    // device the bus; its SCSI generic node comes in its place.
    DevicePipe direct(device);
    FirmupProgramState state;
    ASSERT_TRUE(CloseUpdateSession(face, direct, state));
    bench.step();
    EXPECT_FALSE(bench.usb(1)->plugged());
    EXPECT_EQ(access("/dev/sg0", F_OK), 0);
}

}  // namespace
