// The simulator process's bench and service: LPT links that follow the devices, requests carried
// to the model, text commands, and a real client talking to the TCP service.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "sim_client.h"
#include "sim_host.h"
#include "sim_server.h"

namespace sim {
namespace {

class TempDir {
public:
    TempDir() {
        char name[] = "/tmp/brg40simtest.XXXXXX";
        path_ = mkdtemp(name);
        mkdir((path_ + "/prefix").c_str(), 0755);
        mkdir((path_ + "/prefix/dosdevices").c_str(), 0755);
    }
    ~TempDir() { std::system(("rm -rf " + path_).c_str()); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

std::string link_target(const std::string& link) {
    char target[512];
    const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    return n < 0 ? "" : std::string(target, static_cast<size_t>(n));
}

wire::ScsiCall inquiry(int lpt) {
    wire::ScsiCall call;
    call.lpt = lpt;
    const uint8_t cdb[6] = {0x12, 0, 0, 0, 36, 0};
    std::memcpy(call.request.cdb, cdb, sizeof cdb);
    call.request.cdb_length = 6;
    call.request.direction = Direction::In;
    call.request.transfer_length = 36;
    call.request.timeout_s = 5;
    call.has_data = true;
    call.data.assign(36, 0);
    return call;
}

wire::ScsiCall firmup_mode(int lpt) {
    wire::ScsiCall call;
    call.lpt = lpt;
    call.request.cdb[0] = 0xFE;
    call.request.cdb_length = 10;
    call.request.direction = Direction::Out;
    call.request.timeout_s = 10;
    return call;
}

class SimHostTest : public ::testing::Test {
protected:
    TempDir dir;
    SimHost host{dir.path() + "/devices", dir.path() + "/prefix"};
    std::string link(int n) { return dir.path() + "/prefix/dosdevices/lpt" + std::to_string(n); }
};

TEST_F(SimHostTest, LinksFollowAttachUnplugReplugAndDetach) {
    EXPECT_EQ(host.command("attach 3 version=1.04"), "ok");
    EXPECT_EQ(link_target(link(3)), host.device_file(3));
    struct stat st;
    EXPECT_EQ(stat(host.device_file(3).c_str(), &st), 0);
    const uint32_t g = host.state().generation;
    EXPECT_EQ(host.state().lpt_mask, 1u << 3);

    EXPECT_EQ(host.command("unplug 3"), "ok");
    EXPECT_EQ(link_target(link(3)), "");
    EXPECT_EQ(host.state().generation, g + 1);
    EXPECT_EQ(host.command("mode 3"), "ok\nunplugged");

    const ino_t inode = st.st_ino;
    EXPECT_EQ(host.command("replug 3"), "ok");
    EXPECT_EQ(link_target(link(3)), host.device_file(3));
    ASSERT_EQ(stat(host.device_file(3).c_str(), &st), 0);
    EXPECT_EQ(st.st_ino, inode) << "a device file is never recreated";

    EXPECT_EQ(host.command("detach 3"), "ok");
    EXPECT_EQ(link_target(link(3)), "");
    EXPECT_EQ(host.command("mode 3"), "ok\ndetached");
    EXPECT_EQ(host.state().lpt_mask, 0u);
}

TEST_F(SimHostTest, StartRemovesLinksOfAnEarlierBench) {
    ASSERT_EQ(symlink("/dev/null", link(2).c_str()), 0);
    SimHost fresh(dir.path() + "/devices", dir.path() + "/prefix");
    EXPECT_EQ(link_target(link(2)), "");
}

TEST_F(SimHostTest, ScsiRequestsReachTheModelAndModeChangesMoveTheLink) {
    host.command("attach 4 version=1.0A");
    wire::ScsiOutcome out = host.scsi(inquiry(4));
    EXPECT_EQ(out.reply.os_error, 0u);
    ASSERT_EQ(out.data.size(), 36u);
    EXPECT_EQ(std::string(out.data.begin() + 8, out.data.begin() + 13), "ZEVAK");

    EXPECT_FALSE(host.pipe_write(4, reinterpret_cast<const uint8_t*>("x"), 1)) << "no update-mode device yet";
    out = host.scsi(firmup_mode(4));
    EXPECT_EQ(out.reply.os_error, 0u);
    EXPECT_EQ(host.state().update_mask, 1u << 4);
    EXPECT_EQ(host.state().lpt_mask, 0u);
    EXPECT_EQ(link_target(link(4)), "") << "in update mode the converter leaves the LPT names";
    EXPECT_EQ(host.scsi(inquiry(4)).reply.os_error, BRG40_ERROR_GEN_FAILURE);
    EXPECT_EQ(host.scsi(inquiry(6)).reply.os_error, BRG40_ERROR_GEN_FAILURE) << "nothing attached there";
}

TEST_F(SimHostTest, AMalformedBlockNeverReachesTheModel) {
    host.command("attach 3");
    wire::ScsiCall call = inquiry(3);
    call.block_error = "Lun=1 (expected 0)";
    EXPECT_EQ(host.scsi(call).reply.os_error, BRG40_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(host.command("transcript 3"), "ok");
    EXPECT_EQ(host.command("bridge-errors clear"), "ok\nlpt3 12: Lun=1 (expected 0)");
    EXPECT_EQ(host.command("bridge-errors"), "ok");
}

TEST_F(SimHostTest, InjectedFailuresComeBackOnce) {
    host.command("attach 3");
    EXPECT_EQ(host.command("fail 3 0x12 sense 3 0x80 6 1"), "ok");
    wire::ScsiOutcome out = host.scsi(inquiry(3));
    EXPECT_EQ(out.reply.sense[2] & 0x0F, 3);
    EXPECT_EQ(out.reply.sense[12], 0x80);
    EXPECT_EQ(out.reply.sense[13], 6);
    EXPECT_EQ(host.scsi(inquiry(3)).reply.sense[2], 0);
    EXPECT_EQ(host.command("fail 3 18 oserror 170 1"), "ok");
    EXPECT_EQ(host.scsi(inquiry(3)).reply.os_error, 170u);
    const std::string transcript = host.command("transcript 3");
    EXPECT_NE(transcript.find("#1 cdb=120000002400 dir=in len=36 timeout=5 clean=1 -> sense 03/80/06"),
              std::string::npos)
        << transcript;
    EXPECT_NE(transcript.find("#3 cdb=120000002400 dir=in len=36 timeout=5 clean=1 -> oserror 170"), std::string::npos)
        << transcript;
}

TEST_F(SimHostTest, CommandsRefuseWhatTheyCannotDo) {
    host.command("attach 3");
    const char* const kRefused[] = {
        "",
        "frobnicate",
        "attach",
        "attach 0",
        "attach 10",
        "attach 3 version=104",
        "attach 3 version=1.123",
        "attach 3 colour=red",
        "detach 4",
        "fail 3 0x1FF sense 3 0x80 1",
        "fail 3 0xDA sense 3 0x80",
        "fail 3 0xDA oserror 1234",
        "fail 3 0xDA oserror 21 0",
        "loader-fault 3 0 noreply",
        "loader-fault 3 5 sometimes",
        "set 3 led 256",
        "set 3 hw 0102",
        "set 3 eeprom xyz",
        "set 3 colour 1",
        "get 3 colour",
    };
    for (const char* line : kRefused) {
        EXPECT_EQ(host.command(line).compare(0, 6, "error:"), 0) << line;
    }
}

TEST_F(SimHostTest, SetAndGetReachTheDeviceState) {
    host.command("attach 3 version=2.1F");
    EXPECT_EQ(host.command("set 3 eeprom 01:02:0a"), "ok");
    EXPECT_EQ(host.command("get 3 eeprom"), "ok\n01020A");
    EXPECT_EQ(host.command("set 3 hw 0312340000000600"), "ok");
    EXPECT_EQ(host.command("get 3 hw"), "ok\n0312340000000600");
    EXPECT_EQ(host.command("set 3 led 0x7"), "ok");
    EXPECT_EQ(host.command("get 3 led"), "ok\n7");
    EXPECT_EQ(host.command("set 3 spi-step 400"), "ok");
    EXPECT_EQ(host.command("get 3 spi-step"), "ok\n400");
    const std::string state = host.command("state");
    EXPECT_NE(state.find("lpt3 mode=normal version=2.1F intact=1"), std::string::npos) << state;
    const std::string flash = host.command("flash 3");
    EXPECT_NE(flash.find("version=2.1F"), std::string::npos) << flash;
    EXPECT_NE(flash.find("kept=1"), std::string::npos) << flash;
}

TEST(SplitWords, QuotesKeepSpaces) {
    EXPECT_EQ(split_words("  attach 5 product=\"USB-SPI/I2C Cnv.\"  version=1.04 "),
              (std::vector<std::string>{"attach", "5", "product=USB-SPI/I2C Cnv.", "version=1.04"}));
    EXPECT_EQ(split_words("set 3 eeprom \"\""), (std::vector<std::string>{"set", "3", "eeprom", ""}));
    EXPECT_TRUE(split_words(" \t ").empty());
}

// The client against the real TCP service, served by a thread.
class ServiceTest : public SimHostTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.listen(0));
        thread = std::thread([this] { server.run(); });
        ASSERT_TRUE(client.connect(server.port()));
    }
    void TearDown() override {
        server.stop();
        thread.join();
    }
    SimServer server{host};
    std::thread thread;
    SimClient client;
};

TEST_F(ServiceTest, TextScsiPipesAndStateOverTheConnection) {
    EXPECT_EQ(client.command("attach 2 version=1.04"), "ok");
    wire::BenchState st;
    ASSERT_TRUE(client.state(st));
    EXPECT_EQ(st.lpt_mask, 1u << 2);

    uint8_t data[36] = {};
    ScsiRequest request = inquiry(2).request;
    request.data = data;
    ScsiReply reply;
    ASSERT_TRUE(client.scsi(2, request, reply));
    EXPECT_EQ(reply.os_error, 0u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data + 16), 10), "NKV-BRG40M");

    uint8_t none[21];
    size_t got = 99;
    EXPECT_FALSE(client.pipe_read(2, none, sizeof none, got));
    EXPECT_EQ(got, 0u);
    ScsiRequest to_update = firmup_mode(2).request;
    ASSERT_TRUE(client.scsi(2, to_update, reply));
    ASSERT_TRUE(client.state(st));
    EXPECT_TRUE(st.in_update_mode(2));
    EXPECT_TRUE(client.pipe_read(2, none, sizeof none, got)) << "the update-mode device is there";
    EXPECT_FALSE(client.pipe_read(3, none, sizeof none, got)) << "only unit 2 is";

    // A second client sees the same bench.
    SimClient other;
    ASSERT_TRUE(other.connect(server.port()));
    EXPECT_EQ(other.command("mode 2"), "ok\nupdate");
    EXPECT_NE(other.command("events").find("lpt2 scsi FE -> ok"), std::string::npos);
}

TEST_F(ServiceTest, ShutdownEndsTheService) {
    EXPECT_EQ(client.command("shutdown"), "ok");
    thread.join();
    thread = std::thread([] {});
    EXPECT_TRUE(host.shutdown_requested());
}

TEST(SimClientEnv, PortFromTheEnvironment) {
    setenv("BRG40_SIM_PORT", "4567", 1);
    EXPECT_EQ(SimClient::port_from_env(), 4567);
    unsetenv("BRG40_SIM_PORT");
    TempDir dir;
    setenv("BRG40_SIM_DIR", dir.path().c_str(), 1);
    EXPECT_EQ(SimClient::port_from_env(), 0);
    FILE* f = std::fopen((dir.path() + "/port").c_str(), "w");
    std::fputs("39001\n", f);
    std::fclose(f);
    EXPECT_EQ(SimClient::port_from_env(), 39001);
    unsetenv("BRG40_SIM_DIR");
}

}  // namespace
}  // namespace sim
