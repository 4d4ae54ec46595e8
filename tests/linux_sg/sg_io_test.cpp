// The library on Linux through SG_IO, with the kernel interface emulated by umockdev: the search
// among a disk, a foreign SCSI device and two converters, the errors an emulated node fails
// with, slave delivery and the library version. The command table and the statuses of every
// sense and error case run beside it (command_table_test.cpp, sense_mapping_test.cpp, shared with
// the suite of the Windows seam).
#include <algorithm>
#include <cstring>
#include <vector>

#include "../lib/library_fixture.h"
#include "errno_table.h"
#include "mock_sg.h"

namespace {

class LinuxSgTest : public LibraryTest {
protected:
    void SetUp() override {
        const char* preload = std::getenv("LD_PRELOAD");
        ASSERT_TRUE(preload != nullptr && std::strstr(preload, "umockdev-preload") != nullptr)
            << "run under umockdev-wrapper";
        LibraryTest::SetUp();
    }

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

TEST_F(LinuxSgTest, NumbersAreRanksAndOtherDevicesHearNothingButInquiry) {
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
        for (int code : codes(lpt)) {
            EXPECT_EQ(code, 0x12) << "LPT" << lpt << " received a command that is not INQUIRY";
        }
    }
    const std::vector<int> third = codes(3);
    EXPECT_NE(std::find(third.begin(), third.end(), 0xDA), third.end()) << "the converter got its version query";
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
int record(unsigned count, unsigned char* data) {
    g_delivered.assign(data, data + count);
    return 0;
}

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
    EXPECT_EQ(brg40_i2c_read_slave(h, 0, record, nullptr), 0);
    support::join_threads();
    EXPECT_EQ(g_delivered, (std::vector<uint8_t>{0x11, 0x22, 0x33}));
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
