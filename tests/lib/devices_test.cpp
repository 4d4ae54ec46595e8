// Device search over LPT1..LPT9 with the identity test, the single-open guard, brg40_open_ex
// and brg40_close.
#include <cstring>
#include <string>

#include "devices.h"
#include "library_fixture.h"

namespace {

using DeviceSearch = LibraryTest;

const sim::Identity kOldProduct{"ZEVAK", "USB-SPI/I2C Cnv.", "0.90"};
const sim::Identity kForeignProduct{"ZEVAK", "CARD READER", "1.00"};
const sim::Identity kForeignVendor{"OTHERCO", "NKV-BRG40M", "1.00"};

TEST_F(DeviceSearch, NoConverterLeavesOutputsUntouched) {
    support::bench().attach(4, kForeignProduct);
    int count = 77;
    int numbers[9] = {55, 55, 55, 55, 55, 55, 55, 55, 55};
    EXPECT_EQ(brg40_find_device(&count, numbers), -21);
    EXPECT_EQ(count, 77);
    EXPECT_EQ(numbers[0], 55);
    int status = 0;
    EXPECT_EQ(brg40_open(&status), nullptr);
    EXPECT_EQ(status, -21);
    EXPECT_EQ(brg40::device_open_flag, 0);
}

TEST_F(DeviceSearch, ListsConvertersAscendingAndSkipsOtherDevices) {
    support::bench().attach(5, kOldProduct);
    support::bench().attach(2);
    support::bench().attach(3, kForeignProduct);
    support::bench().attach(7, kForeignVendor);
    int count = 0;
    int numbers[9] = {};
    EXPECT_EQ(brg40_find_device(&count, numbers), 0);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(numbers[0], 2);
    EXPECT_EQ(numbers[1], 5);
    EXPECT_EQ(numbers[2], 0);  // nothing written past the count
}

TEST_F(DeviceSearch, TriesEveryNameInOrderAndClosesEachAgain) {
    support::bench().attach(2);
    support::bench().attach(9);
    int count = 0;
    int numbers[9] = {};
    ASSERT_EQ(brg40_find_device(&count, numbers), 0);
    std::vector<std::string> expected;
    for (int n = 1; n <= 9; ++n) {
        expected.push_back("\\\\.\\LPT" + std::to_string(n));
    }
    EXPECT_EQ(support::opened_names(), expected);
    EXPECT_EQ(support::open_handle_count(), 0u);
    // The identity comes from a standard 6-byte INQUIRY of 36 bytes.
    const auto inquiries = records(2, 0x12);
    ASSERT_EQ(inquiries.size(), 1u);
    EXPECT_EQ(inquiries[0].request.cdb_length, 6);
    EXPECT_EQ(inquiries[0].request.cdb[4], 36);
    EXPECT_EQ(inquiries[0].request.transfer_length, 36u);
    EXPECT_EQ(inquiries[0].request.timeout_s, 5u);
    EXPECT_EQ(inquiries[0].request.direction, sim::Direction::In);
}

TEST_F(DeviceSearch, DeviceHeldOpenElsewhereOrFailingInquiryIsSkipped) {
    support::bench().attach(2);
    support::bench().attach(5);
    support::bench().attach(6).fail_command(0x12, sim::sense_reply(2, 0x04, 0));
    int status = 1;
    Brg40Handle held = brg40_open_ex(2, &status);
    ASSERT_NE(held, nullptr);
    int count = 0;
    int numbers[9] = {};
    EXPECT_EQ(brg40_find_device(&count, numbers), 0);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(numbers[0], 5);
}

TEST_F(DeviceSearch, SubstringTestsOnTheFieldsOnly) {
    uint8_t inquiry[36] = {};
    auto put = [&](size_t at, const char* text) { std::memcpy(&inquiry[at], text, std::strlen(text)); };
    put(8, "xZEVAKxx");
    put(16, "--NKV-BRG40M----");
    EXPECT_TRUE(brg40::is_converter_identity(inquiry));
    put(8, "ZEVA    ");
    EXPECT_FALSE(brg40::is_converter_identity(inquiry));
    // "ZEVAK" split across the vendor and product fields is no match.
    std::memset(inquiry, ' ', sizeof inquiry);
    put(13, "ZEV");
    put(16, "AKNKV-BRG40M");
    EXPECT_FALSE(brg40::is_converter_identity(inquiry));
    // Case-sensitive.
    put(8, "zevak   ");
    put(16, "NKV-BRG40M      ");
    EXPECT_FALSE(brg40::is_converter_identity(inquiry));
}

using OpenClose = LibraryTest;

TEST_F(OpenClose, OpenTakesTheLowestConverterByItsShortName) {
    support::bench().attach(5);
    support::bench().attach(3, kForeignProduct);
    support::bench().attach(2);
    int status = 1;
    Brg40Handle h = brg40_open(&status);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(brg40::device_open_flag, 1);
    EXPECT_EQ(support::opened_names().back(), "LPT2");
    EXPECT_EQ(brg40_led_control(h, 0x21), 0);
    EXPECT_EQ(dev(2).led, 0x21);
    EXPECT_EQ(dev(5).led, 0xFF);
}

TEST_F(OpenClose, SecondOpenIsRefusedUntilCloseWithAnyHandle) {
    support::bench().attach(2);
    support::bench().attach(5);
    int status = 1;
    Brg40Handle first = brg40_open(&status);
    ASSERT_NE(first, nullptr);
    const size_t names_before = support::opened_names().size();
    Brg40Handle second = brg40_open(&status);
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(status, -22);
    EXPECT_EQ(support::opened_names().size(), names_before) << "no device touched";
    EXPECT_EQ(brg40_led_control(first, 3), 0) << "the first handle stays valid";

    // Closing a null handle clears the guard without closing anything.
    EXPECT_EQ(brg40_close(nullptr), 0);
    EXPECT_EQ(brg40::device_open_flag, 0);
    EXPECT_EQ(support::open_handle_count(), 1u);
    Brg40Handle third = brg40_open(&status);
    EXPECT_NE(third, nullptr);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(support::opened_names().back(), "LPT5") << "LPT2 is still held, so the search skips it";
}

TEST_F(OpenClose, CloseClosesTheHandleAndSkipsInvalidHandleValue) {
    Brg40Handle h = attach_and_open(4);
    brg40::device_open_flag = 1;
    EXPECT_EQ(brg40_close(reinterpret_cast<Brg40Handle>(static_cast<intptr_t>(-1))), 0);
    EXPECT_EQ(support::open_handle_count(), 1u);
    EXPECT_EQ(brg40::device_open_flag, 0);
    brg40::device_open_flag = 1;
    EXPECT_EQ(brg40_close(h), 0) << "a handle of brg40_open_ex clears the guard too";
    EXPECT_EQ(brg40::device_open_flag, 0);
    EXPECT_EQ(support::open_handle_count(), 0u);
}

TEST_F(OpenClose, CloseLeavesTheSlaveModeBookkeeping) {
    Brg40Handle h = attach_and_open(1);
    ASSERT_EQ(brg40_mode_change_ex(h, 2, 0), 0);
    EXPECT_EQ(brg40_close(h), 0);
    EXPECT_EQ(brg40::slave_mode_flag, 1);
    EXPECT_EQ(brg40::slave_mode_owner.load(), h);
}

TEST_F(OpenClose, OpenExHasNoIdentityCheckAndNoGuard) {
    support::bench().attach(3, kForeignProduct);
    brg40::device_open_flag = 1;
    int status = 1;
    Brg40Handle h = brg40_open_ex(3, &status);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(brg40::device_open_flag, 1) << "neither looked at nor changed";
    EXPECT_EQ(support::opened_names(), std::vector<std::string>{"LPT3"});
    EXPECT_EQ(records(3, 0x12).size(), 0u) << "no INQUIRY";
    dev(3).fail_command(219, sim::sense_reply(5, 0x20, 0));
    EXPECT_EQ(brg40_led_control(h, 1), -400) << "whatever the transport reports";
}

TEST_F(OpenClose, OpenExOfAMissingOrBusyDeviceStoresMinus21) {
    int status = 0;
    EXPECT_EQ(brg40_open_ex(6, &status), nullptr);
    EXPECT_EQ(status, -21);
    Brg40Handle h = attach_and_open(6);
    ASSERT_NE(h, nullptr);
    status = 0;
    EXPECT_EQ(brg40_open_ex(6, &status), nullptr);
    EXPECT_EQ(status, -21);
}

TEST_F(OpenClose, OpenExOutsideOneToNineOpensNothing) {
    for (int number : {0, 10, -1, 19}) {
        int status = 0;
        EXPECT_EQ(brg40_open_ex(number, &status), nullptr) << number;
        EXPECT_EQ(status, -21) << number;
    }
    EXPECT_TRUE(support::opened_names().empty()) << "no name was tried";
}

}  // namespace

namespace {

// Numbers are LPT positions: the list asks each LPT that opens, and shows one held elsewhere as
// busy (it cannot be asked); selectors open exactly the LPT they name.
TEST_F(DeviceSearch, ListAndSelectorsByPosition) {
    support::bench().attach(2);
    support::bench().attach(4, kForeignProduct);
    support::bench().attach(6, kOldProduct);
    int status = 0;
    Brg40Handle held = brg40_open_ex(6, &status);  // as another program would hold it
    ASSERT_EQ(status, 0);
    Brg40DeviceInfo info[9] = {};
    int count = 0;
    ASSERT_EQ(brg40_list_devices(info, 9, &count), 0);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(std::string(info[0].node) + " " + std::to_string(info[0].number) + " " +
                  std::to_string(info[0].open_status) + " [" + info[0].serial + info[0].path + "]",
              "LPT2 2 0 []");
    EXPECT_EQ(info[1].number, 6);
    EXPECT_EQ(info[1].open_status, BRG40_ERROR_SHARING_VIOLATION);
    brg40_close(held);

    for (const char* selector : {"2", "lpt2", "LPT2"}) {
        Brg40Handle h = brg40_open_device(selector, &status);
        EXPECT_EQ(status, 0) << selector;
        brg40_close(h);
    }
    for (const char* selector : {"4", "LPT4", "serial:SIM0002", "path:1-2"}) {
        EXPECT_EQ(brg40_open_device(selector, &status), nullptr) << selector;
        EXPECT_EQ(status, BRG40_NO_DEVICE) << "the system tells no serial or port of a converter: " << selector;
    }
    EXPECT_EQ(brg40_open_device("LPT10", &status), nullptr);
    EXPECT_EQ(status, BRG40_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(brg40_list_devices(nullptr, 0, &count), 0);
    EXPECT_EQ(count, 2);
}

}  // namespace
