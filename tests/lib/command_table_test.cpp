// Every vendor command as the converter receives it: CDB bytes, direction, transfer length,
// time-out and data pointer, one case per command, driven through the exports.
#include <ostream>
#include <array>
#include <cstring>
#include <functional>
#include <set>

#include "library_fixture.h"
#include "transport.h"

namespace {

enum class Data { None, Send, Receive, Internal };

struct CommandCase {
    const char* name;
    uint8_t code;
    std::function<int(Brg40Handle, uint8_t* send, uint8_t* receive)> call;
    std::array<uint8_t, 10> cdb;
    sim::Direction direction;
    uint32_t transfer;
    uint32_t timeout;
    Data data;
};

void PrintTo(const CommandCase& c, std::ostream* os) {
    *os << c.name;
}

int ignore_slave_data(unsigned, unsigned char*) {
    return 0;
}

// Starts a slave receive worker with `waiting` bytes in the converter and waits for its batch.
int run_slave(Brg40Handle h, bool i2c, size_t waiting) {
    int status = brg40_mode_change_ex(h, 2, 0);
    {
        auto guard = support::lock();
        sim::Converter& c = *support::bench().device(1);
        (i2c ? c.i2c_slave_waiting : c.spi_slave_waiting).assign(waiting, 0x42);
    }
    status |= i2c ? brg40_i2c_read_slave(h, 0, ignore_slave_data, nullptr)
                  : brg40_spi_transmit_slave(h, 0, ignore_slave_data, nullptr);
    support::join_threads();
    return status;
}

using sim::Direction;
// clang-format off
const CommandCase kCases[] = {
    {"GetFwVersion", 218, [](Brg40Handle h, uint8_t*, uint8_t*) { unsigned char a, b; return brg40_get_fw_version(h, &a, &b); },
     {0xDA, 0, 0, 0, 0, 0, 0, 0, 4, 0}, Direction::In, 4, 5, Data::Internal},
    {"LedControl", 219, [](Brg40Handle h, uint8_t*, uint8_t*) { return brg40_led_control(h, 0x5A); },
     {0xDB, 0, 0x5A, 0, 0, 0, 0, 0, 0, 0}, Direction::Out, 0, 5, Data::None},
    {"PowerControlSecondCommand", 220, [](Brg40Handle h, uint8_t*, uint8_t*) { return brg40_power_control(h, 0x33); },
     {0xDC, 0, 0x33, 0, 0, 0, 0, 0, 0, 0}, Direction::Out, 0, 5, Data::None},
    {"ModeChange", 221, [](Brg40Handle h, uint8_t*, uint8_t*) { return brg40_mode_change(h, 0x1A1, 0x1234); },
     {0xDD, 0, 0x12, 0x34, 0xA1, 0, 0, 0, 0, 0}, Direction::Out, 0, 5, Data::None},
    {"GetHwInfo", 222, [](Brg40Handle h, uint8_t*, uint8_t*) { Brg40HwInfo i; return brg40_get_hw_info(h, &i); },
     {0xDE, 0, 0, 0, 0, 0, 0, 0, 8, 0}, Direction::In, 8, 5, Data::Internal},
    {"GpoWrite", 225, [](Brg40Handle h, uint8_t*, uint8_t*) { return brg40_gpo_write(h, 0xC3); },
     {0xE1, 0, 0xC3, 0, 0, 0, 0, 0, 0, 0}, Direction::Out, 0, 5, Data::None},
    {"GpoRead", 226, [](Brg40Handle h, uint8_t*, uint8_t* r) { return brg40_gpo_read(h, r); },
     {0xE2, 0, 0, 0, 0, 0, 0, 0, 4, 0}, Direction::In, 4, 5, Data::Receive},
    {"I2cPullup", 232, [](Brg40Handle h, uint8_t*, uint8_t*) { return brg40_i2c_pullup(h, 0x0F); },
     {0xE8, 0, 0x0F, 0, 0, 0, 0, 0, 0, 0}, Direction::Out, 0, 5, Data::None},
    {"I2cBusReset", 233, [](Brg40Handle h, uint8_t*, uint8_t*) { return brg40_i2c_bus_reset(h); },
     {0xE9, 0, 0, 0, 0, 0, 0, 0, 0, 0}, Direction::Out, 0, 5, Data::None},
    {"I2cSetFreq", 234, [](Brg40Handle h, uint8_t*, uint8_t*) { return brg40_i2c_set_freq(h, 1); },
     {0xEA, 0, 0x01, 0x90, 0, 0, 0, 0, 0, 0}, Direction::Out, 0, 5, Data::None},
    {"I2cReadMasterOneByteMovesTwo", 235,
     [](Brg40Handle h, uint8_t*, uint8_t* r) { return brg40_i2c_read_master(h, 0xA0B1, 0xC2, 1, r); },
     {0xEB, 0, 0xA0, 0xB1, 0xC2, 0, 0, 0, 1, 0}, Direction::In, 2, 5, Data::Receive},
    {"I2cWriteMaster", 236, [](Brg40Handle h, uint8_t* s, uint8_t*) { return brg40_i2c_write_master(h, 0x1234, 0x56, 3, s); },
     {0xEC, 0, 0x12, 0x34, 0x56, 0, 0, 0, 3, 0}, Direction::Out, 3, 5, Data::Send},
    {"I2cSlaveData", 237, [](Brg40Handle h, uint8_t*, uint8_t*) { return run_slave(h, true, 3); },
     {0xED, 0, 0, 0, 0, 0, 0, 0, 3, 0}, Direction::In, 3, 5, Data::Internal},
    {"I2cSetResponseData", 238, [](Brg40Handle h, uint8_t* s, uint8_t*) { return brg40_i2c_set_response_data(h, 0x105, s); },
     {0xEE, 0, 0, 0, 0, 0, 0, 1, 5, 0}, Direction::Out, 0x105, 5, Data::Send},
    {"I2cSlaveStatus", 239, [](Brg40Handle h, uint8_t*, uint8_t*) { return run_slave(h, true, 3); },
     {0xEF, 0, 0, 0, 0, 0, 0, 0, 6, 0}, Direction::In, 6, 5, Data::Internal},
    {"SpiSetFreq", 240, [](Brg40Handle h, uint8_t*, uint8_t*) { unsigned short f; return brg40_spi_set_freq(h, 0x4B, 1000, &f); },
     {0xF0, 0, 0x02, 0xEE, 0x4B, 0, 0, 0, 0, 0}, Direction::Out, 0, 5, Data::None},
    {"SpiMasterSend", 241, [](Brg40Handle h, uint8_t* s, uint8_t* r) { return brg40_spi_transmit_master(h, 0x21, 4, s, r); },
     {0xF1, 0, 0x21, 0, 0, 0, 0, 0, 4, 0}, Direction::Out, 4, 5, Data::Send},
    {"SpiMasterReceive", 242, [](Brg40Handle h, uint8_t* s, uint8_t* r) { return brg40_spi_transmit_master(h, 0x21, 4, s, r); },
     {0xF2, 0, 0, 0, 0, 0, 0, 0, 4, 0}, Direction::In, 4, 5, Data::Receive},
    {"SpiSetResponseData", 243, [](Brg40Handle h, uint8_t* s, uint8_t*) { return brg40_spi_set_response_data(h, 7, s); },
     {0xF3, 0, 0, 0, 0, 0, 0, 0, 7, 0}, Direction::Out, 7, 5, Data::Send},
    {"SpiSlaveData", 244, [](Brg40Handle h, uint8_t*, uint8_t*) { return run_slave(h, false, 2); },
     {0xF4, 0, 0, 0, 0, 0, 0, 0, 2, 0}, Direction::In, 2, 5, Data::Internal},
    {"SpiSlaveStatus", 245, [](Brg40Handle h, uint8_t*, uint8_t*) { return run_slave(h, false, 2); },
     {0xF5, 0, 0, 0, 0, 0, 0, 0, 6, 0}, Direction::In, 6, 5, Data::Internal},
    {"EepromRead", 248, [](Brg40Handle h, uint8_t*, uint8_t* r) { return brg40_eeprom_read(h, 16, r); },
     {0xF8, 0, 0, 0, 0, 0, 0, 0, 0x10, 0}, Direction::In, 16, 10, Data::Receive},
    {"EepromWrite", 249, [](Brg40Handle h, uint8_t* s, uint8_t*) { return brg40_eeprom_write(h, 16, s); },
     {0xF9, 0, 0, 0, 0, 0, 0, 0, 0x10, 0}, Direction::Out, 16, 10, Data::Send},
    {"DebugPicRead", 250, [](Brg40Handle h, uint8_t*, uint8_t* r) { return brg40_debug_pic_read(h, 0x3C, r); },
     {0xFA, 0, 0x3C, 0, 0, 0, 0, 0, 2, 0}, Direction::In, 2, 10, Data::Receive},
    {"DebugPicWrite", 251, [](Brg40Handle h, uint8_t*, uint8_t*) { return brg40_debug_pic_write(h, 0x3D, 0x7E); },
     {0xFB, 0, 0x3D, 0, 0x7E, 0, 0, 0, 0, 0}, Direction::Out, 0, 10, Data::None},
    {"ChangeFirmupMode", 254, [](Brg40Handle h, uint8_t*, uint8_t*) { return brg40_change_firmup_mode(h); },
     {0xFE, 0, 0, 0, 0, 0, 0, 0, 0, 0}, Direction::Out, 0, 10, Data::None},
};
// clang-format on

class CommandTable : public LibraryTest, public ::testing::WithParamInterface<CommandCase> {
protected:
    uint8_t send_[512];
    uint8_t receive_[512];
};

TEST_P(CommandTable, ArrivesAsTheTableSays) {
    const CommandCase& c = GetParam();
    Brg40Handle h = attach_and_open(1);
    for (size_t i = 0; i < sizeof send_; ++i) {
        send_[i] = static_cast<uint8_t>(i * 3 + 1);
    }
    std::memset(receive_, 0xCC, sizeof receive_);
    ASSERT_EQ(c.call(h, send_, receive_), 0);

    const auto recs = records(1, c.code);
    ASSERT_FALSE(recs.empty()) << "command " << int(c.code) << " not sent";
    const sim::CommandRecord& r = recs.back();
    EXPECT_EQ(r.request.cdb_length, 10);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(r.request.cdb[i], i < 10 ? c.cdb[i] : 0) << "CDB byte " << i;
    }
    EXPECT_EQ(r.request.direction, c.direction);
    EXPECT_EQ(r.request.transfer_length, c.transfer);
    EXPECT_EQ(r.request.timeout_s, c.timeout);
    switch (c.data) {
        case Data::None:
            EXPECT_EQ(r.request.data, nullptr);
            break;
        case Data::Send:
            // Straight from the caller's buffer, no copy (seen where the device sees addresses).
            if (support::buffers_arrive_in_place()) {
                EXPECT_EQ(r.request.data, send_);
            }
            EXPECT_EQ(r.data_out, std::vector<uint8_t>(send_, send_ + c.transfer));
            break;
        case Data::Receive:
            if (support::buffers_arrive_in_place()) {
                EXPECT_EQ(r.request.data, receive_);
            }
            EXPECT_EQ(r.data_in, std::vector<uint8_t>(receive_, receive_ + c.transfer));
            break;
        case Data::Internal:
            EXPECT_NE(r.request.data, nullptr);
            EXPECT_NE(r.request.data, send_);
            EXPECT_NE(r.request.data, receive_);
            break;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryCommand,
                         CommandTable,
                         ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<CommandCase>& info) { return info.param.name; });

TEST(CommandTableCoverage, EveryCommandOfTheTransportHasACase) {
    std::set<int> covered;
    for (const auto& c : kCases) {
        covered.insert(c.code);
    }
    size_t count = 0;
    const brg40::CommandLayout* rows = brg40::command_layouts(&count);
    EXPECT_EQ(count, 26u);
    for (size_t i = 0; i < count; ++i) {
        EXPECT_EQ(covered.count(rows[i].code), 1u) << "no case for command " << int(rows[i].code);
    }
    EXPECT_EQ(covered.size(), count) << "a case for a command the transport does not know";
}

}  // namespace
