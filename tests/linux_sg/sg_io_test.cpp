// The library on Linux through SCSI generic nodes, with the kernel interface emulated by umockdev:
// the search among a disk, a foreign SCSI device, a second logical unit and two converters, the
// errors an emulated node fails with, slave delivery and the library version. The command table
// and the statuses of every sense and error case run beside it (command_table_test.cpp,
// sense_mapping_test.cpp, shared with the suite of the Windows seam), and one request's way
// through the node in sg_request_test.cpp.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "../lib/library_fixture.h"
#include "errno_table.h"
#include "mock_sg.h"
#include "umock_nodes.h"

namespace {

class LinuxSgTest : public LibraryTest {
protected:
    void SetUp() override {
        const char* preload = std::getenv("LD_PRELOAD");
        ASSERT_TRUE(preload != nullptr && std::strstr(preload, "umockdev-preload") != nullptr &&
                    std::strstr(preload, "brg40sgexcl") != nullptr)
            << "run with the exclusive open and umockdev preloaded (ctest linux_sg_tests)";
        char folder[] = "/tmp/brg40-sg-locks-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        locks_ = folder;
        setenv("BRG40_SG_LOCK_DIR", folder, 1);
        LibraryTest::SetUp();
    }
    void TearDown() override {
        LibraryTest::TearDown();
        unsetenv("BRG40_SG_LOCK_DIR");
        std::filesystem::remove_all(locks_);
    }

    // Another program holds node /dev/sg<n> (process 1 lives as long as the machine).
    void HeldElsewhere(int n, bool held) {
        const std::string path = locks_ + "/sg" + std::to_string(n);
        if (held) {
            std::ofstream(path) << "1\n";
        } else {
            std::filesystem::remove(path);
        }
    }

    std::string locks_;

    // The command codes device lpt received, in order.
    std::vector<int> codes(int lpt) {
        auto guard = support::lock();
        std::vector<int> out;
        for (const auto& r : dev(lpt).transcript()) {
            out.push_back(r.request.cdb[0]);
        }
        return out;
    }
};

TEST_F(LinuxSgTest, NumbersAreRanksAndOtherDevicesHearNothing) {
    support::bench().attach(1, {"ATA", "Samsung SSD 870", "1B6Q"});           // a disk, /dev/sg0
    support::bench().attach(2, {"ZEVAK", "Card Reader", "1.00"});             // the maker's, not ours
    support::bench().attach(3, {}, 1, 4);                                     // /dev/sg2: number 1
    support::bench().attach(5, {"ZEVAK", "USB-SPI/I2C Cnv.", "1.00"}, 1, 2);  // /dev/sg4: number 2

    int count = 0;
    int numbers[9] = {};
    ASSERT_EQ(brg40_find_device(&count, numbers), 0);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(numbers[0], 1);
    EXPECT_EQ(numbers[1], 2);

    int status = 1;
    for (int number : {1, 2}) {
        Brg40Handle h = brg40_open_ex(number, &status);
        ASSERT_EQ(status, 0) << number;
        unsigned char major = 0, minor = 0;
        EXPECT_EQ(brg40_get_fw_version(h, &major, &minor), 0);
        EXPECT_EQ(minor, number == 1 ? 4 : 2) << "number " << number << " is the converter of that rank";
        brg40_close(h);
    }
    EXPECT_EQ(brg40_open_ex(3, &status), nullptr);
    EXPECT_EQ(status, BRG40_NO_DEVICE) << "two converters only: the disk is never number 3";
    Brg40Handle first = brg40_open(&status);
    ASSERT_EQ(status, 0);
    brg40_close(first);

    for (int lpt : {1, 2}) {
        EXPECT_TRUE(codes(lpt).empty()) << "LPT" << lpt << " is known by what sysfs says; it is never asked";
    }
    const std::vector<int> third = codes(3);
    EXPECT_NE(std::find(third.begin(), third.end(), 0xDA), third.end()) << "the converter got its version query";

    Brg40DeviceInfo info[9] = {};
    count = 0;
    ASSERT_EQ(brg40_list_devices(info, 9, &count), 0);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(std::string(info[0].node) + " " + info[0].serial + " " + info[0].path, "/dev/sg2 SIM0003 1-3");
    EXPECT_EQ(std::string(info[1].node) + " " + info[1].serial + " " + info[1].path, "/dev/sg4 SIM0005 1-5");
    EXPECT_EQ(info[1].number, 2);
}

// A converter held by another program, or by this one, keeps its number, and no number ever
// reaches another converter in its place.
TEST_F(LinuxSgTest, AHeldConverterKeepsItsNumber) {
    support::bench().attach(1, {}, 1, 1);  // /dev/sg0: number 1
    support::bench().attach(2, {}, 1, 2);  // /dev/sg1: number 2
    HeldElsewhere(0, true);
    int count = 0;
    int numbers[9] = {};
    ASSERT_EQ(brg40_find_device(&count, numbers), 0);
    EXPECT_EQ(std::vector<int>(numbers, numbers + count), std::vector<int>{2}) << "only the free one can be opened";
    int status = 1;
    EXPECT_EQ(brg40_open_ex(1, &status), nullptr);
    EXPECT_EQ(status, BRG40_NO_DEVICE) << "number 1 is held: it never falls through to number 2";
    Brg40Handle second = brg40_open(&status);
    ASSERT_EQ(status, 0) << "brg40_open takes the first that opens";
    unsigned char major = 0, minor = 0;
    EXPECT_EQ(brg40_get_fw_version(second, &major, &minor), 0);
    EXPECT_EQ(minor, 2);
    Brg40DeviceInfo info[9] = {};
    ASSERT_EQ(brg40_list_devices(info, 9, &count), 0);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(info[0].open_status, BRG40_ERROR_SHARING_VIOLATION);
    EXPECT_EQ(info[1].open_status, BRG40_ERROR_SHARING_VIOLATION) << "held by this process now";
    brg40_close(second);

    HeldElsewhere(0, false);
    Brg40Handle first = brg40_open_ex(1, &status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(brg40_open_ex(1, &status), nullptr) << "the sg driver's open is exclusive";
    Brg40Handle other = brg40_open_ex(2, &status);
    EXPECT_EQ(status, 0) << "holding number 1 leaves number 2 where it is";
    EXPECT_EQ(brg40_get_fw_version(other, &major, &minor), 0);
    EXPECT_EQ(minor, 2);
    brg40_close(other);
    brg40_close(first);
}

// A node number that another device has taken since the search is never opened as the converter.
TEST_F(LinuxSgTest, ANodeThatIsAnotherDeviceNowIsRefused) {
    support::bench().attach(1, {}, 1, 4);
    Brg40Handle h = brg40_open_device("/dev/sg0", nullptr);
    ASSERT_NE(h, nullptr);
    brg40_close(h);
    support::bench().attach(1, {"ATA", "Samsung SSD 870", "1B6Q"});  // unplugged; a disk got sg0
    int status = 0;
    EXPECT_EQ(brg40_open_device("/dev/sg0", &status), nullptr);
    EXPECT_EQ(status, BRG40_NO_DEVICE);
    EXPECT_EQ(brg40_open_ex(1, &status), nullptr);
    EXPECT_TRUE(codes(1).empty());
}

// A converter's SCSI device is its logical unit 0: a node of another unit, whatever its vendor
// and model, is never counted, opened or asked.
TEST_F(LinuxSgTest, OnlyLogicalUnitZeroIsAConverter) {
    std::atomic<int> asked{0};
    sim::MockSg lun1(support::testbed(), 9, sim::SgPlace{"1-9", "LUN1", "ZEVAK", "NKV-BRG40M", 1},
                     [&asked](const sim::ScsiRequest&, sim::ScsiReply&) { return ++asked, true; });
    support::bench().attach(2, {}, 1, 2);  // /dev/sg1, unit 0
    int count = 0;
    int numbers[9] = {};
    ASSERT_EQ(brg40_find_device(&count, numbers), 0);
    EXPECT_EQ(std::vector<int>(numbers, numbers + count), std::vector<int>{1});
    Brg40DeviceInfo info[9] = {};
    ASSERT_EQ(brg40_list_devices(info, 9, &count), 0);
    ASSERT_EQ(count, 1);
    EXPECT_STREQ(info[0].node, "/dev/sg1");
    for (const char* selector : {"/dev/sg9", "serial:LUN1", "2"}) {
        int status = 0;
        Brg40Handle h = brg40_open_device(selector, &status);
        EXPECT_EQ(status, BRG40_NO_DEVICE) << selector;
        if (h != nullptr) {
            brg40_close(h);
        }
    }
    EXPECT_EQ(asked, 0);
}

TEST_F(LinuxSgTest, SelectorsNameExactlyOneConverter) {
    sim::Converter& a = support::bench().attach(1, {}, 1, 1);
    a.set_usb({"A1", "1-4", true});
    sim::Converter& b = support::bench().attach(3, {}, 1, 3);
    b.set_usb({"B2", "2-1", true});
    support::bench().changed();  // the nodes follow the identities set above
    const char* link = "/tmp/brg40-by-id-test";
    unlink(link);
    ASSERT_EQ(symlink("/dev/sg2", link), 0);
    const struct {
        const char* selector;
        int status;
        int minor;  // the converter opened
    } cases[] = {
        {"2", 0, 3},
        {"serial:a1", 0, 1},
        {"path:2-1", 0, 3},
        {"/dev/sg0", 0, 1},
        {link, 0, 3},
        {"3", BRG40_NO_DEVICE, 0},
        {"serial:C3", BRG40_NO_DEVICE, 0},
        {"/dev/sg1", BRG40_NO_DEVICE, 0},
        {"port:1-4", BRG40_ERROR_INVALID_PARAMETER, 0},
        {"serial:", BRG40_ERROR_INVALID_PARAMETER, 0},
    };
    for (const auto& c : cases) {
        int status = 99;
        Brg40Handle h = brg40_open_device(c.selector, &status);
        EXPECT_EQ(status, c.status) << c.selector;
        if (h != nullptr) {
            unsigned char major = 0, minor = 0;
            EXPECT_EQ(brg40_get_fw_version(h, &major, &minor), 0);
            EXPECT_EQ(minor, c.minor) << c.selector;
            brg40_close(h);
        }
        EXPECT_EQ(h != nullptr, c.status == 0) << c.selector;
    }
    unlink(link);
    b.set_usb({"A1", "2-1", true});  // two converters report one serial
    support::bench().changed();
    int status = 0;
    EXPECT_EQ(brg40_open_device("serial:A1", &status), nullptr);
    EXPECT_EQ(status, BRG40_AMBIGUOUS);
}

// What each outcome of a request becomes: the converter's sense data as on Windows; a failed
// request as the Windows error that its errno stands for.
TEST(LinuxSgFailure, EveryErrorOfTheLibrarysTableComesBackAsItself) {
    size_t rows = 0;
    const brg40::ErrnoRow* row = brg40::errno_rows(&rows);
    for (size_t i = 0; i < rows; ++i) {
        const int e = sim::errno_for_failure(row[i].windows_error);
        EXPECT_EQ(brg40::windows_error_for_errno(e), row[i].windows_error) << row[i].windows_error;
    }
    EXPECT_EQ(brg40::windows_error_for_errno(sim::errno_for_failure(BRG40_ERROR_GEN_FAILURE)), 31u);
    EXPECT_EQ(sim::errno_for_failure(BRG40_ERROR_NOT_READY), EIO);
}

std::vector<uint8_t> g_delivered;
sigset_t g_worker_mask;
int record(unsigned count, unsigned char* data) {
    g_delivered.assign(data, data + count);
    pthread_sigmask(SIG_BLOCK, nullptr, &g_worker_mask);
    return 0;
}

// The signals a thread can block: all but SIGKILL and SIGSTOP, and those the C library keeps for
// itself between the standard and the real-time ones.
std::vector<int> blockable_signals() {
    std::vector<int> out;
    for (int s = 1; s <= SIGRTMAX; ++s) {
        if (s != SIGKILL && s != SIGSTOP && (s < SIGSYS + 1 || s >= SIGRTMIN)) {
            out.push_back(s);
        }
    }
    return out;
}

// The callback runs on the worker, which never takes the application's signals.
TEST_F(LinuxSgTest, SlaveDataComesByCallbackAndNeverByWindowMessage) {
    Brg40Handle h = attach_and_open(1);
    ASSERT_EQ(brg40_mode_change_ex(h, 2, 0), 0);
    {
        auto guard = support::lock();
        dev(1).i2c_slave_waiting = {0x11, 0x22, 0x33};
    }
    EXPECT_EQ(brg40_spi_transmit_slave(h, 1, nullptr, reinterpret_cast<void*>(0x10)), 50);
    EXPECT_EQ(brg40_i2c_read_slave(h, 1, nullptr, reinterpret_cast<void*>(0x10)), 50);
    EXPECT_EQ(codes(1).back(), 0xDD) << "a refused start sends nothing";
    g_delivered.clear();
    sigemptyset(&g_worker_mask);
    sigset_t caller;
    sigemptyset(&caller);
    sigaddset(&caller, SIGUSR2);
    sigset_t before;
    pthread_sigmask(SIG_SETMASK, &caller, &before);
    EXPECT_EQ(brg40_i2c_read_slave(h, 0, record, nullptr), 0);
    sigset_t after;
    pthread_sigmask(SIG_SETMASK, &before, &after);
    support::join_threads();
    EXPECT_EQ(g_delivered, (std::vector<uint8_t>{0x11, 0x22, 0x33}));
    for (int s : blockable_signals()) {
        EXPECT_TRUE(sigismember(&g_worker_mask, s)) << "the worker runs with signal " << s << " blocked";
        EXPECT_EQ(sigismember(&after, s), s == SIGUSR2) << "the caller's mask is its own again: " << s;
    }
    EXPECT_EQ(brg40_mode_change_ex(h, 0, 0), 0);
    brg40_close(h);
}

TEST_F(LinuxSgTest, LibraryVersionComesFromItsOwnConstant) {
    unsigned char major = 0, minor = 0;
    EXPECT_EQ(brg40_get_dll_version(nullptr, &major, &minor), 0);
    EXPECT_EQ(major, 1);
    EXPECT_EQ(minor, 1);
}

}  // namespace
