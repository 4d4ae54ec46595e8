// The bridge's bench against the simulator's real service: the update-mode USB device appears at
// the unit's port when the converter is ordered into update mode, carries a whole update to the
// simulator's loader over the wire, and leaves the bus when the close byte returns the converter
// to normal mode; two units in update mode at once each on its own port.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <thread>

#include "dialog_events.h"
#include "image_gen.h"
#include "recording_dialog.h"
#include "sim_server.h"
#include "simulated_update_device.h"
#include "bench_face.h"
#include "client_link.h"
#include "usb_update_device.h"
#include "usb_update_pipe.h"

namespace {

class UsbFaceTest : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = testing::TempDir() + "brg40_face_XXXXXX";
        ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
        folder = pattern;
        host.reset(new sim::SimHost(folder, ""));
        server.reset(new sim::SimServer(*host));
        ASSERT_TRUE(server->listen(0));
        thread = std::thread([this] { server->run(); });
        setenv("BRG40_SIM_PORT", std::to_string(server->port()).c_str(), 1);
        ASSERT_TRUE(client.connect(server->port()));
    }
    void TearDown() override {
        bench.reset();
        server->stop();
        thread.join();
        unsetenv("BRG40_SIM_PORT");
        std::filesystem::remove_all(folder);
    }

    std::string State() { return client.command("state"); }

    std::unique_ptr<UMockdevTestbed, decltype(&g_object_unref)> bed{umockdev_testbed_new(), g_object_unref};
    std::string folder;
    std::unique_ptr<sim::SimHost> host;
    std::unique_ptr<sim::SimServer> server;
    std::thread thread;
    sim::SimClient client;
    sim::SimClient faceClient;
    sim::ClientLink link{faceClient};
    sim::SerialLink serial{link};
    std::unique_ptr<sim::BenchFace> bench;

    void StartBench() {
        ASSERT_TRUE(faceClient.connect(server->port()));
        bench.reset(new sim::BenchFace(bed.get(), serial));
        ASSERT_TRUE(bench->start());
    }
    // Orders unit lpt into update mode through its normal-mode face.
    void ToUpdateMode(int lpt) {
        sim::ScsiRequest toUpdate;
        toUpdate.cdb[0] = 0xFE;
        toUpdate.cdb_length = 10;
        toUpdate.timeout_s = 10;
        sim::ScsiReply reply;
        ASSERT_TRUE(client.scsi(lpt, toUpdate, reply));
    }
};

TEST_F(UsbFaceTest, TheDeviceFollowsTheConverterThroughAWholeUpdate) {
    ASSERT_EQ(client.command("attach 3 version=1.04"), "ok");
    StartBench();
    UsbContext usb;
    EXPECT_TRUE(ListUsbUpdateUnits(usb.context()).empty()) << "not in update mode yet";
    EXPECT_EQ(access("/dev/sg2", F_OK), 0) << "unit 3 in normal mode";

    ToUpdateMode(3);
    ASSERT_TRUE(WaitForUsbUpdateUnits(
        usb.context(), 30, [] { return false; }, [](const std::vector<UpdateUnit>& units) { return !units.empty(); }));
    const std::vector<UpdateUnit> units = ListUsbUpdateUnits(usb.context());
    ASSERT_EQ(units.size(), 1u);
    EXPECT_EQ(units[0].path, "1-3") << "the unit's own port";
    EXPECT_EQ(units[0].serial, "SIM0003");
    EXPECT_EQ(units[0].key, "serial-SIM0003");

    TempFile image(sim::make_image({}));
    RecordingDialog dialog;
    dialog.record_bar = false;
    UsbUpdatePipe pipe(units[0]);
    FirmupProgramState state;
    ASSERT_EQ(ProgramFirmware(image.path(), 0x0104, dialog, pipe, state), RunOutcome::Completed);
    ASSERT_TRUE(CloseUpdateSession(dialog, pipe, state));
    EXPECT_NE(State().find("lpt3 mode=normal version=1.05 intact=1"), std::string::npos) << State();
    EXPECT_NE(client.command("flash 3").find("kept=1"), std::string::npos);

    // Back in normal mode: the follower takes the device off the bus.
    for (int i = 0; i < 300 && !ListUsbUpdateUnits(usb.context()).empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(ListUsbUpdateUnits(usb.context()).empty());
}

}  // namespace
