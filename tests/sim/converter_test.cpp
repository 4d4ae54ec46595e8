// The simulated converter's own strictness: requests off the command table are refused and
// reported with both forms, and its identity, flash and modes behave as the library expects.
#include <gtest/gtest.h>

#include <cstring>

#include "converter.h"

namespace {

// A request as the library would send it for `code` with no operands.
sim::ScsiRequest vendor(uint8_t code, sim::Direction dir, uint32_t length, uint8_t* data, uint32_t timeout = 5) {
    sim::ScsiRequest r;
    r.cdb[0] = code;
    r.cdb_length = 10;
    r.direction = dir;
    r.transfer_length = length;
    r.timeout_s = timeout;
    r.data = data;
    return r;
}

TEST(ConverterStrictness, WellFormedRequestsPass) {
    sim::Converter c;
    uint8_t buf[8] = {};
    auto r = vendor(218, sim::Direction::In, 4, buf);
    r.cdb[8] = 4;
    EXPECT_EQ(c.scsi(r).os_error, 0u);
    auto led = vendor(219, sim::Direction::Out, 0, nullptr);
    led.cdb[2] = 9;
    EXPECT_EQ(c.scsi(led).os_error, 0u);
    EXPECT_EQ(c.led, 9);
    EXPECT_TRUE(c.protocol_errors().empty());
}

TEST(ConverterStrictness, EachDeviationIsRefusedWithBothHexDumps) {
    uint8_t buf[8] = {};
    struct Case {
        const char* what;
        sim::ScsiRequest request;
    };
    std::vector<Case> cases;
    auto base = [&] {
        auto r = vendor(218, sim::Direction::In, 4, buf);
        r.cdb[8] = 4;
        return r;
    };
    cases.push_back({"wrong time-out", base()});
    cases.back().request.timeout_s = 10;
    cases.push_back({"wrong direction", base()});
    cases.back().request.direction = sim::Direction::Out;
    cases.push_back({"wrong length", base()});
    cases.back().request.transfer_length = 8;
    cases.push_back({"stray CDB byte", base()});
    cases.back().request.cdb[5] = 1;
    cases.push_back({"six-byte CDB", base()});
    cases.back().request.cdb_length = 6;
    cases.push_back({"no data pointer", base()});
    cases.back().request.data = nullptr;
    cases.push_back({"block not zeroed", base()});
    cases.back().request.block_was_clean = false;
    cases.push_back({"data pointer without data", vendor(233, sim::Direction::Out, 0, buf)});
    cases.push_back({"length 1 moving 1 byte", vendor(236, sim::Direction::Out, 1, buf)});
    cases.back().request.cdb[8] = 1;
    cases.push_back({"unknown command", vendor(0xE0, sim::Direction::Out, 0, nullptr)});
    cases.push_back({"I2C speed not in the table", vendor(234, sim::Direction::Out, 0, nullptr)});
    cases.back().request.cdb[3] = 200;
    cases.push_back({"SPI step not in the table", vendor(240, sim::Direction::Out, 0, nullptr)});
    cases.back().request.cdb[3] = 4;
    cases.push_back({"EEPROM with a short time-out", vendor(248, sim::Direction::In, 2, buf)});
    cases.back().request.cdb[8] = 2;

    for (const auto& c : cases) {
        sim::Converter conv;
        EXPECT_EQ(conv.scsi(c.request).os_error, BRG40_ERROR_INVALID_PARAMETER) << c.what;
        ASSERT_EQ(conv.protocol_errors().size(), 1u) << c.what;
        const std::string& line = conv.protocol_errors()[0];
        EXPECT_NE(line.find("received CDB"), std::string::npos) << line;
        EXPECT_NE(line.find("expected CDB"), std::string::npos) << line;
    }
}

TEST(ConverterStrictness, HexDumpShowsWhatDiffers) {
    sim::Converter c;
    uint8_t buf[4];
    auto r = vendor(218, sim::Direction::In, 4, buf, 10);
    r.cdb[8] = 4;
    c.scsi(r);
    ASSERT_EQ(c.protocol_errors().size(), 1u);
    EXPECT_EQ(c.protocol_errors()[0],
              "command 0xDA: does not match the command table; received CDB DA 00 00 00 00 00 00 00 04 00 dir in len 4 "
              "timeout 10 data yes; expected CDB DA 00 00 00 00 00 00 00 04 00 dir in len 4 timeout 5 data yes");
}

TEST(ConverterIdentity, InquiryFieldsAreSpacePadded) {
    sim::Converter c({"ZEVAK", "USB-SPI/I2C Cnv.", "2.1"});
    uint8_t data[36];
    sim::ScsiRequest r;
    r.cdb[0] = 0x12;
    r.cdb[4] = 36;
    r.cdb_length = 6;
    r.direction = sim::Direction::In;
    r.transfer_length = 36;
    r.timeout_s = 5;
    r.data = data;
    ASSERT_EQ(c.scsi(r).os_error, 0u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(&data[8]), 8), "ZEVAK   ");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(&data[16]), 16), "USB-SPI/I2C Cnv.");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(&data[32]), 4), "2.1 ");
}

TEST(ConverterFaults, InjectedRepliesCountDownAndUnplugFails) {
    sim::Converter c;
    c.fail_command(219, sim::sense_reply(3, 0x80, 2), 2);
    auto led = vendor(219, sim::Direction::Out, 0, nullptr);
    EXPECT_EQ(c.scsi(led).sense[13], 2);
    EXPECT_EQ(c.scsi(led).sense[13], 2);
    EXPECT_EQ(c.scsi(led).sense[2], 0);
    c.unplug();
    EXPECT_EQ(c.scsi(led).os_error, BRG40_ERROR_GEN_FAILURE);
    c.replug();
    EXPECT_EQ(c.scsi(led).os_error, 0u);
    EXPECT_EQ(c.transcript().size(), 5u);
}

TEST(ConverterSlaveData, StatusCountsWaitingBytesAndDataRemovesThem) {
    sim::Converter c;
    c.spi_slave_waiting.assign(0x123, 7);
    uint8_t status[6];
    auto st = vendor(245, sim::Direction::In, 6, status);
    st.cdb[8] = 6;
    ASSERT_EQ(c.scsi(st).os_error, 0u);
    EXPECT_EQ(status[0], 0x01);
    EXPECT_EQ(status[1], 0x23);
    EXPECT_EQ(status[2], 0xA1);
    EXPECT_EQ(status[5], 0xA4);
    uint8_t data[0x100];
    auto rd = vendor(244, sim::Direction::In, 0x100, data);
    rd.cdb[7] = 0x01;
    ASSERT_EQ(c.scsi(rd).os_error, 0u);
    EXPECT_EQ(c.spi_slave_waiting.size(), 0x23u);
}

TEST(ConverterFlash, InitialImageIsIntactAndCarriesThePreservedBlock) {
    sim::Converter a({}, 2, 0x15, 1);
    sim::Converter b({}, 2, 0x15, 2);
    EXPECT_TRUE(a.flash().image_intact());
    EXPECT_EQ(a.flash().version_major(), 2);
    EXPECT_EQ(a.flash().version_minor(), 0x15);
    ASSERT_EQ(a.preserved_value().size(), 16u);
    EXPECT_EQ(std::vector<uint8_t>(a.flash().bytes.begin() + 0x5FE0, a.flash().bytes.begin() + 0x5FF0),
              a.preserved_value());
    EXPECT_NE(a.preserved_value(), b.preserved_value());
}

TEST(ConverterModes, UpdateModeAndBackThroughTheCloseByte) {
    sim::Converter c;
    auto cmd = vendor(254, sim::Direction::Out, 0, nullptr, 10);
    ASSERT_EQ(c.scsi(cmd).os_error, 0u);
    EXPECT_EQ(c.mode(), sim::Mode::Update);
    EXPECT_EQ(c.scsi(cmd).os_error, BRG40_ERROR_GEN_FAILURE) << "gone from the normal-mode face";
    const uint8_t close = 0xFF;
    c.pipe_write(&close, 1);
    EXPECT_EQ(c.mode(), sim::Mode::Normal);

    // A damaged image keeps it in update mode, ready for a new session.
    ASSERT_EQ(c.scsi(cmd).os_error, 0u);
    c.flash().bytes[0x1000] ^= 0x01;
    c.pipe_write(&close, 1);
    EXPECT_EQ(c.mode(), sim::Mode::Update);
    EXPECT_FALSE(c.loader().close_requested());
}

TEST(BenchDevices, ReachableOnlyWhilePluggedAndInNormalMode) {
    sim::Bench bench;
    sim::Converter& c = bench.attach(4);
    EXPECT_EQ(bench.at(4), &c);
    EXPECT_EQ(bench.at(3), nullptr);
    c.unplug();
    EXPECT_EQ(bench.at(4), nullptr);
    EXPECT_EQ(bench.device(4), &c);
    c.replug();
    auto cmd = vendor(254, sim::Direction::Out, 0, nullptr, 10);
    c.scsi(cmd);
    EXPECT_EQ(bench.at(4), nullptr);
    EXPECT_EQ(bench.update_device(4), &c);
    bench.detach(4);
    EXPECT_EQ(bench.device(4), nullptr);
}

}  // namespace
