// The transport's outcome mapping rule (its rows are in sense_mapping_test.cpp), the zeroed
// block, and the variable-length edge cases.
#include <cstring>
#include <set>

#include "library_fixture.h"
#include "transport.h"

namespace {

TEST(SenseMappingRule, KeyZeroWithoutErrorIsSuccess) {
    uint8_t sense[32] = {};
    EXPECT_EQ(brg40::map_command_result(0, sense), 0);
    sense[12] = 0x80;  // a code without a key is not an error report
    sense[13] = 4;
    EXPECT_EQ(brg40::map_command_result(0, sense), 0);
}

using Transport = LibraryTest;

TEST_F(Transport, StaleSenseOfAFailedRequestNeverLeaksIntoTheNext) {
    Brg40Handle h = attach_and_open(1);
    dev(1).fail_command(226, sim::sense_reply(3, 0x80, 4), 1);
    uint8_t outputs[4];
    EXPECT_EQ(brg40_gpo_read(h, outputs), -109);
    // The bench leaves the sense area alone on good status, as the driver does.
    EXPECT_EQ(brg40_gpo_read(h, outputs), 0);
    EXPECT_EQ(brg40_gpo_write(h, 1), 0);
    // Every block arrived zeroed apart from its fields (checked per request by the bench).
    auto guard = support::lock();
    for (const auto& r : dev(1).transcript()) {
        EXPECT_TRUE(r.request.block_was_clean);
    }
}

TEST_F(Transport, NullOrClosedHandleFailsWithInvalidHandle) {
    Brg40Handle h = attach_and_open(1);
    EXPECT_EQ(brg40_gpo_write(nullptr, 1), 6);
    EXPECT_EQ(brg40_close(h), 0);
    EXPECT_EQ(brg40_gpo_write(h, 1), 6);
    EXPECT_EQ(transcript_size(1), 0u);
}

TEST_F(Transport, UnpluggedDeviceFailsWithTheWindowsError) {
    Brg40Handle h = attach_and_open(1);
    dev(1).unplug();
    EXPECT_EQ(brg40_led_control(h, 1), 31);
}

TEST_F(Transport, FailedRequestWithoutAnErrorCodeIsNeverSuccess) {
    Brg40Handle h = attach_and_open(1);
    support::fail_requests_without_error(true);
    unsigned char major = 0, minor = 0;
    EXPECT_EQ(brg40_get_fw_version(h, &major, &minor), 31);
    EXPECT_EQ(major, 0xFF);
    EXPECT_EQ(minor, 0xFF);
    EXPECT_EQ(brg40_led_control(h, 1), 31);
    int count = 0;
    EXPECT_EQ(brg40_find_device(&count, nullptr), -21) << "no INQUIRY answered";
}

TEST_F(Transport, LengthZeroSendsLengthZeroAndMovesNothing) {
    Brg40Handle h = attach_and_open(1);
    uint8_t buffer[4] = {9, 9, 9, 9};
    EXPECT_EQ(brg40_i2c_read_master(h, 0, 0, 0, buffer), 0);
    const auto recs = records(1, 235);
    ASSERT_EQ(recs.size(), 1u);
    EXPECT_EQ(recs[0].request.cdb[7], 0);
    EXPECT_EQ(recs[0].request.cdb[8], 0);
    EXPECT_EQ(recs[0].request.transfer_length, 0u);
    EXPECT_EQ(buffer[0], 9);
}

TEST_F(Transport, LengthOneCarriesOneInTheCdbAndMovesTwoBytes) {
    Brg40Handle h = attach_and_open(1);
    dev(1).i2c_master_reply = {0x5C, 0x7D};
    uint8_t buffer[2] = {};
    EXPECT_EQ(brg40_i2c_read_master(h, 0x10, 0x20, 1, buffer), 0);
    EXPECT_EQ(buffer[0], 0x5C);
    EXPECT_EQ(buffer[1], 0x7D);
    const uint8_t one[2] = {0xAB, 0xCD};
    EXPECT_EQ(brg40_i2c_write_master(h, 0x10, 0x20, 1, one), 0);
    const auto recs = records(1, 236);
    ASSERT_EQ(recs.size(), 1u);
    EXPECT_EQ(recs[0].request.transfer_length, 2u);
    EXPECT_EQ(recs[0].request.cdb[8], 1);
    EXPECT_EQ(dev(1).i2c_master_written, std::vector<uint8_t>{0xAB});
}

TEST_F(Transport, CodeOutsideTheTableIsRefusedWithoutARequest) {
    Brg40Handle h = attach_and_open(1);
    EXPECT_EQ(brg40::send_device_command(h, 0xE0, 0, nullptr, 0, 0), -400);
    EXPECT_EQ(brg40::send_device_command(h, 0x12, 0, nullptr, 0, 0), -400);
    EXPECT_EQ(transcript_size(1), 0u);
}

}  // namespace

TEST_F(Transport, TheLibrarysOwnDataBuffersAreAlignedTo16Bytes) {
    support::bench().attach(1);
    int status = 0;
    Brg40Handle h = brg40_open(&status);  // INQUIRY into the library's own buffer
    ASSERT_EQ(status, 0);
    unsigned char major, minor;
    Brg40HwInfo info;
    EXPECT_EQ(brg40_get_fw_version(h, &major, &minor), 0);
    EXPECT_EQ(brg40_get_hw_info(h, &info), 0);
    ASSERT_EQ(brg40_mode_change_ex(h, 2, 0), 0);
    EXPECT_EQ(brg40_i2c_read_slave(h, 1, nullptr, reinterpret_cast<void*>(1)), 0);
    {
        auto guard = support::lock();
        dev(1).i2c_slave_waiting = {1, 2, 3};
    }
    support::join_threads();
    // INQUIRY, version, hardware information, slave status and data: buffers the library owns. The
    // worker may poll the status more than once before the data come.
    auto guard = support::lock();
    std::set<uint8_t> checked;
    for (const auto& r : dev(1).transcript()) {
        const uint8_t code = r.request.cdb[0];
        if (code == 0x12 || code == 218 || code == 222 || code == 239 || code == 237) {
            EXPECT_EQ(reinterpret_cast<uintptr_t>(r.request.data) % 16, 0u) << "command " << int(code);
            checked.insert(code);
        }
    }
    EXPECT_EQ(checked.size(), 5u);
}
