// Bus and port operations: SPI frequency steps, I2C speeds, the two-command SPI master transfer,
// EEPROM and register data, outputs.
#include <cstring>

#include "bus_ops.h"
#include "library_fixture.h"

namespace {

using SpiFrequency = LibraryTest;

TEST_F(SpiFrequency, LargestStepNotAboveTheRequestWithFloorThree) {
    const struct {
        unsigned short requested, step;
    } cases[] = {
        {0, 3},     {9, 3},      {10, 10},     {29, 10},      {30, 30},       {49, 30},       {50, 50},
        {99, 50},   {100, 100},  {249, 100},   {250, 250},    {499, 250},     {500, 500},     {749, 500},
        {750, 750}, {2999, 750}, {3000, 3000}, {11999, 3000}, {12000, 12000}, {65535, 12000},
    };
    Brg40Handle h = attach_and_open(1);
    for (const auto& c : cases) {
        EXPECT_EQ(brg40::spi_frequency_step(c.requested), c.step) << c.requested;
        unsigned short actual = 0;
        ASSERT_EQ(brg40_spi_set_freq(h, 0x81, c.requested, &actual), 0) << c.requested;
        EXPECT_EQ(actual, c.step);
        EXPECT_EQ(dev(1).spi_step, c.step);
        EXPECT_EQ(dev(1).spi_setting, 0x81);
    }
}

TEST_F(SpiFrequency, FailureWritesFFFF) {
    Brg40Handle h = attach_and_open(1);
    dev(1).fail_command(240, sim::sense_reply(3, 0x80, 3));
    unsigned short actual = 1234;
    EXPECT_EQ(brg40_spi_set_freq(h, 0, 3000, &actual), -108);
    EXPECT_EQ(actual, 0xFFFF);
}

using I2cSpeed = LibraryTest;

TEST_F(I2cSpeed, SelectorsGiveTheSpeedsInKilohertz) {
    Brg40Handle h = attach_and_open(1);
    const unsigned short speeds[] = {1000, 400, 100};
    for (unsigned char selector = 0; selector < 3; ++selector) {
        EXPECT_EQ(brg40_i2c_set_freq(h, selector), 0);
        EXPECT_EQ(dev(1).i2c_khz, speeds[selector]);
    }
}

TEST_F(I2cSpeed, OtherSelectorsAreRefusedAndNothingIsSent) {
    Brg40Handle h = attach_and_open(1);
    ASSERT_EQ(brg40_i2c_set_freq(h, 1), 0);
    dev(1).clear_transcript();
    for (unsigned char selector : {3, 4, 0x80, 0xFF}) {
        EXPECT_EQ(brg40_i2c_set_freq(h, selector), -400) << int(selector);
    }
    EXPECT_EQ(transcript_size(1), 0u);
    EXPECT_EQ(dev(1).i2c_khz, 400) << "the bus keeps its speed";
}

using SpiMaster = LibraryTest;

TEST_F(SpiMaster, SendsThenReceivesTheSameLength) {
    Brg40Handle h = attach_and_open(1);
    dev(1).spi_master_reply = {0x10, 0x20, 0x30};
    const uint8_t out[3] = {0xA1, 0xB2, 0xC3};
    uint8_t in[3] = {};
    EXPECT_EQ(brg40_spi_transmit_master(h, 0x07, 3, out, in), 0);
    EXPECT_EQ(dev(1).spi_master_written, std::vector<uint8_t>(out, out + 3));
    EXPECT_EQ(std::vector<uint8_t>(in, in + 3), dev(1).spi_master_reply);
    auto guard = support::lock();
    const auto& t = dev(1).transcript();
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[0].request.cdb[0], 241);
    EXPECT_EQ(t[1].request.cdb[0], 242);
}

TEST_F(SpiMaster, FailedSendSkipsTheReceiveHalf) {
    Brg40Handle h = attach_and_open(1);
    dev(1).fail_command(241, sim::failed_reply(21));
    const uint8_t out[4] = {1, 2, 3, 4};
    uint8_t in[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(brg40_spi_transmit_master(h, 0, 4, out, in), 21);
    EXPECT_EQ(records(1, 242).size(), 0u);
    EXPECT_EQ(in[0], 0xEE);
    EXPECT_EQ(in[3], 0xEE);
}

TEST_F(SpiMaster, FailedReceiveIsTheResult) {
    Brg40Handle h = attach_and_open(1);
    dev(1).fail_command(242, sim::sense_reply(3, 0x80, 2));
    const uint8_t out[2] = {1, 2};
    uint8_t in[2] = {};
    EXPECT_EQ(brg40_spi_transmit_master(h, 0, 2, out, in), -6);
}

using PortData = LibraryTest;

TEST_F(PortData, EepromRoundTripOf16Bytes) {
    Brg40Handle h = attach_and_open(1);
    uint8_t written[16];
    for (int i = 0; i < 16; ++i) {
        written[i] = static_cast<uint8_t>(0xF0 - i);
    }
    EXPECT_EQ(brg40_eeprom_write(h, 16, written), 0);
    EXPECT_EQ(std::vector<uint8_t>(dev(1).eeprom.begin(), dev(1).eeprom.begin() + 16),
              std::vector<uint8_t>(written, written + 16));
    uint8_t read[16] = {};
    EXPECT_EQ(brg40_eeprom_read(h, 16, read), 0);
    EXPECT_EQ(std::memcmp(read, written, 16), 0);
}

TEST_F(PortData, OutputsRegistersAndResponseData) {
    Brg40Handle h = attach_and_open(1);
    EXPECT_EQ(brg40_gpo_write(h, 0x9C), 0);
    uint8_t outputs[4] = {};
    EXPECT_EQ(brg40_gpo_read(h, outputs), 0);
    EXPECT_EQ(outputs[0], 0x9C);
    EXPECT_EQ(brg40_debug_pic_write(h, 0x12, 0x34), 0);
    uint8_t reg[2] = {};
    EXPECT_EQ(brg40_debug_pic_read(h, 0x12, reg), 0);
    EXPECT_EQ(reg[0], 0x34);
    const uint8_t response[5] = {5, 4, 3, 2, 1};
    EXPECT_EQ(brg40_i2c_set_response_data(h, 5, response), 0);
    EXPECT_EQ(brg40_spi_set_response_data(h, 2, response), 0);
    EXPECT_EQ(dev(1).i2c_response, std::vector<uint8_t>(response, response + 5));
    EXPECT_EQ(dev(1).spi_response, std::vector<uint8_t>(response, response + 2));
    EXPECT_EQ(brg40_i2c_pullup(h, 0x03), 0);
    EXPECT_EQ(dev(1).pullup, 0x03);
    EXPECT_EQ(brg40_i2c_bus_reset(h), 0);
    EXPECT_EQ(dev(1).i2c_bus_resets, 1u);
    dev(1).i2c_master_reply = {0xD1, 0xD2, 0xD3};
    uint8_t in[3] = {};
    EXPECT_EQ(brg40_i2c_read_master(h, 0x0A50, 0x07, 3, in), 0);
    EXPECT_EQ(in[2], 0xD3);
    EXPECT_EQ(dev(1).i2c_target_word, 0x0A50);
    EXPECT_EQ(dev(1).i2c_target_byte, 0x07);
}

}  // namespace
