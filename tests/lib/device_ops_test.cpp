// Version, identity and mode operations: firmware version, hardware information, library
// version, power, mode checks and the slave-mode ownership, the switch into update mode.
#include <ostream>
#include <cstring>

#include "library_fixture.h"
#include "version.h"

namespace {

using Version = LibraryTest;

TEST_F(Version, FirmwareVersionComesFromTheImageInFlash) {
    Brg40Handle h = attach_and_open(1, 0x02, 0x31);
    unsigned char major = 0, minor = 0;
    EXPECT_EQ(brg40_get_fw_version(h, &major, &minor), 0);
    EXPECT_EQ(major, 0x02);
    EXPECT_EQ(minor, 0x31);
}

TEST_F(Version, FailureLeavesFFBothAfterUnplug) {
    Brg40Handle h = attach_and_open(1, 0x02, 0x31);
    dev(1).unplug();
    unsigned char major = 0, minor = 0;
    EXPECT_EQ(brg40_get_fw_version(h, &major, &minor), 31);
    EXPECT_EQ(major, 0xFF);
    EXPECT_EQ(minor, 0xFF);
}

TEST_F(Version, LibraryVersionOfThisBuild) {
    unsigned char major = 0, minor = 0;
    EXPECT_EQ(brg40_get_dll_version(nullptr, &major, &minor), 0);
    EXPECT_EQ(major, BRG40_VERSION_MAJOR);
    EXPECT_EQ(minor, BRG40_VERSION_MINOR);
    EXPECT_STREQ(BRG40_VERSION_TEXT, "1, 1, 0, 0");
}

struct VersionTextCase {
    const char* text;  // null: no version resource
    int status;
    unsigned char major, minor;
};

void PrintTo(const VersionTextCase& c, std::ostream* os) {
    *os << (c.text ? c.text : "(no version resource)");
}

const VersionTextCase kVersionTexts[] = {
    {"1, 1, 0, 0", 0, 1, 1},
    {"1, 10, 0, 0", 0, 1, 0x10},  // base 16
    {"A, ff, 0, 0", 0, 0x0A, 0xFF},
    {"  2,   3", 0, 2, 3},
    {"2,3", 0, 2, 3},
    {"123, 456, 0, 0", 0, 0x23, 0x56},  // cut to 8 bits
    {"1", -400, 0xFF, 0xFF},            // no comma
    {"", -400, 0xFF, 0xFF},
    {", 1, 0, 0", -400, 0xFF, 0xFF},
    {"x, 1, 0, 0", -400, 0xFF, 0xFF},
    {"1, , 0, 0", -400, 0xFF, 0xFF},
    {"1,", -400, 0xFF, 0xFF},
    {"1, g", -400, 0xFF, 0xFF},
    {nullptr, -400, 0xFF, 0xFF},
};

class LibraryVersionText : public LibraryTest, public ::testing::WithParamInterface<VersionTextCase> {};

TEST_P(LibraryVersionText, ParsesOrGivesMinus400) {
    const VersionTextCase& c = GetParam();
    support::set_product_version(c.text);
    unsigned char major = 0, minor = 0;
    EXPECT_EQ(brg40_get_dll_version(nullptr, &major, &minor), c.status);
    EXPECT_EQ(major, c.major);
    EXPECT_EQ(minor, c.minor);
}

INSTANTIATE_TEST_SUITE_P(Texts, LibraryVersionText, ::testing::ValuesIn(kVersionTexts));

using HwInfo = LibraryTest;

TEST_F(HwInfo, PacksTheReplyKeepingBitPositions) {
    struct Case {
        uint8_t reply[8];
        Brg40HwInfo expected;
    };
    const Case cases[] = {
        {{0x03, 0x12, 0x34, 0xFF, 0xFF, 0xFF, 0x06, 0xFF}, {2, 1, 0x1234, 6}},
        {{0xFC, 0xAB, 0xCD, 0, 0, 0, 0xF9, 0}, {0, 0, 0xABCD, 0}},
        {{0x02, 0x00, 0x01, 0, 0, 0, 0x02, 0}, {2, 0, 0x0001, 2}},
        {{0x01, 0x80, 0x00, 0, 0, 0, 0x04, 0}, {0, 1, 0x8000, 4}},
    };
    Brg40Handle h = attach_and_open(1);
    for (const auto& c : cases) {
        std::memcpy(dev(1).hw_reply, c.reply, 8);
        Brg40HwInfo info{0x55, 0x55, 0x5555, 0x55};
        ASSERT_EQ(brg40_get_hw_info(h, &info), 0);
        EXPECT_EQ(info.flag2, c.expected.flag2);
        EXPECT_EQ(info.flag1, c.expected.flag1);
        EXPECT_EQ(info.word, c.expected.word);
        EXPECT_EQ(info.bits6, c.expected.bits6);
    }
}

TEST_F(HwInfo, FailureDoesNotWriteTheRecord) {
    Brg40Handle h = attach_and_open(1);
    dev(1).fail_command(222, sim::sense_reply(3, 0x80, 5));
    Brg40HwInfo info{0x55, 0x55, 0x5555, 0x55};
    EXPECT_EQ(brg40_get_hw_info(h, &info), -110);
    EXPECT_EQ(info.flag2, 0x55);
    EXPECT_EQ(info.word, 0x5555);
    EXPECT_EQ(info.bits6, 0x55);
}

using Power = LibraryTest;

TEST_F(Power, SendsZeroThenTheValue) {
    Brg40Handle h = attach_and_open(1);
    EXPECT_EQ(brg40_power_control(h, 0x47), 0);
    const auto recs = records(1, 220);
    ASSERT_EQ(recs.size(), 2u);
    EXPECT_EQ(recs[0].request.cdb[2], 0);
    EXPECT_EQ(recs[1].request.cdb[2], 0x47);
    EXPECT_EQ(dev(1).power, 0x47);
}

TEST_F(Power, StopsAfterAFailedFirstCommand) {
    Brg40Handle h = attach_and_open(1);
    dev(1).fail_command(220, sim::sense_reply(3, 0x80, 1), 1);
    EXPECT_EQ(brg40_power_control(h, 0x47), -11);
    EXPECT_EQ(records(1, 220).size(), 1u);
    EXPECT_EQ(dev(1).power, 0xFF) << "the converter never got the value";
}

using Mode = LibraryTest;

TEST_F(Mode, ChecksComeBeforeAnythingIsSent) {
    Brg40Handle h = attach_and_open(1);
    for (int mode : {7, 15, 0x107, -1}) {
        EXPECT_EQ(brg40_mode_change(h, mode, 0), -104) << mode;
        EXPECT_EQ(brg40_mode_change_ex(h, mode, 0), -104) << mode;
    }
    for (int mode : {2, 10, 0x102}) {
        EXPECT_EQ(brg40_mode_change(h, mode, 0), -204) << mode;
    }
    EXPECT_EQ(transcript_size(1), 0u);
    EXPECT_EQ(brg40::slave_mode_flag, 0);
}

TEST_F(Mode, SlaveBitMakesThisHandleTheOwner) {
    Brg40Handle h = attach_and_open(1);
    EXPECT_EQ(brg40_mode_change(h, 6, 0x1234), 0);
    EXPECT_EQ(dev(1).mode_byte, 6);
    EXPECT_EQ(dev(1).mode_parameter, 0x1234);
    EXPECT_EQ(brg40::slave_mode_flag, 1);
    EXPECT_EQ(brg40::slave_mode_owner.load(), h);
}

TEST_F(Mode, ExVariantAllowsPlainSlaveMode) {
    Brg40Handle h = attach_and_open(1);
    EXPECT_EQ(brg40_mode_change_ex(h, 2, 0), 0);
    EXPECT_EQ(dev(1).mode_byte, 2);
    EXPECT_EQ(brg40::slave_mode_flag, 1);
    EXPECT_EQ(brg40::slave_mode_owner.load(), h);
}

TEST_F(Mode, OnlyTheOwnerEndsTheSlaveMode) {
    Brg40Handle a = attach_and_open(1);
    Brg40Handle b = attach_and_open(2);
    ASSERT_EQ(brg40_mode_change_ex(a, 2, 0), 0);
    ASSERT_EQ(brg40_mode_change(b, 1, 0), 0);
    EXPECT_EQ(brg40::slave_mode_flag, 1);
    EXPECT_EQ(brg40::slave_mode_owner.load(), a);
    ASSERT_EQ(brg40_mode_change(a, 1, 0), 0);
    EXPECT_EQ(brg40::slave_mode_flag, 0);
    EXPECT_EQ(brg40::slave_mode_owner.load(), nullptr);
    // Taking over: B switches the slave mode on after A; A's plain mode change then leaves it.
    ASSERT_EQ(brg40_mode_change_ex(a, 2, 0), 0);
    ASSERT_EQ(brg40_mode_change(b, 6, 0), 0);
    EXPECT_EQ(brg40::slave_mode_owner.load(), b);
    ASSERT_EQ(brg40_mode_change(a, 0, 0), 0);
    EXPECT_EQ(brg40::slave_mode_flag, 1);
    EXPECT_EQ(brg40::slave_mode_owner.load(), b);
}

TEST_F(Mode, FailedChangeKeepsTheBookkeeping) {
    Brg40Handle h = attach_and_open(1);
    ASSERT_EQ(brg40_mode_change_ex(h, 2, 0), 0);
    dev(1).fail_command(221, sim::sense_reply(3, 0x80, 6));
    EXPECT_EQ(brg40_mode_change(h, 1, 0), -207);
    EXPECT_EQ(brg40::slave_mode_flag, 1);
    EXPECT_EQ(brg40::slave_mode_owner.load(), h);
    brg40::slave_mode_flag = 0;
    brg40::slave_mode_owner = nullptr;
    EXPECT_EQ(brg40_mode_change(h, 6, 0), -207);
    EXPECT_EQ(brg40::slave_mode_flag, 0);
    EXPECT_EQ(brg40::slave_mode_owner.load(), nullptr);
}

using FirmupMode = LibraryTest;

TEST_F(FirmupMode, ConverterLeavesTheLptNames) {
    Brg40Handle h = attach_and_open(3);
    EXPECT_EQ(brg40_change_firmup_mode(h), 0);
    EXPECT_EQ(dev(3).mode(), sim::Mode::Update);
    EXPECT_EQ(support::bench().update_device(3), &dev(3));
    unsigned char major, minor;
    EXPECT_NE(brg40_get_fw_version(h, &major, &minor), 0) << "the handle is of no further use";
    EXPECT_EQ(brg40_close(h), 0);
    int count = 0;
    int numbers[9];
    EXPECT_EQ(brg40_find_device(&count, numbers), -21);
}

}  // namespace
