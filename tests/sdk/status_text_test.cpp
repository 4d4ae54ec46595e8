// The status texts: every status the library can return has a text and a cause of its own, in
// C++ and in C alike; other numbers get a made text that says what they are.
#include <cerrno>
#include <cstring>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "../lib/library_fixture.h"
#include "brg40firmup_status.h"
#include "errno_table.h"
#include "os_errors.h"
#include "transport.h"

extern "C" const char* c_status_text(int status, char* buffer, size_t size);
extern "C" const char* c_status_cause(int status);

namespace {

// The codes of the status enum in the public header, read from the file so that a new code
// without a text fails here.
std::set<int> enum_codes() {
    std::ifstream in(BRG40_PUBLIC_HEADER);
    std::stringstream text;
    text << in.rdbuf();
    const std::string s = text.str();
    const size_t begin = s.find("enum {");
    const size_t end = s.find("};", begin);
    std::set<int> codes;
    const std::string body = s.substr(begin, end - begin);
    const std::regex code(R"(BRG40_[A-Z0-9_]+\s*=\s*(-?[0-9]+))");
    for (std::sregex_iterator it(body.begin(), body.end(), code), last; it != last; ++it) {
        codes.insert(std::stoi((*it)[1]));
    }
    return codes;
}

// The texts that stand for "no text of its own".
const std::string kFallbackCause = brg40_status_cause(123456);

// A text of its own: a constant (the buffer is not used), and a specific cause; C agrees.
void expect_own_text(int status) {
    char buffer[BRG40_STATUS_TEXT_SIZE] = "untouched";
    const char* text = brg40_status_text(status, buffer, sizeof buffer);
    EXPECT_NE(text, buffer) << "status " << status << " has no text of its own";
    EXPECT_STREQ(buffer, "untouched") << status;
    EXPECT_GT(std::strlen(text), 4u) << status;
    EXPECT_NE(brg40_status_cause(status), kFallbackCause) << "status " << status << " has no cause of its own";
    char c_buffer[BRG40_STATUS_TEXT_SIZE];
    EXPECT_STREQ(c_status_text(status, c_buffer, sizeof c_buffer), text) << status;
    EXPECT_STREQ(c_status_cause(status), brg40_status_cause(status)) << status;
}

class StatusText : public LibraryTest {};

TEST_F(StatusText, EveryCodeOfTheStatusEnumHasItsOwnText) {
    const std::set<int> codes = enum_codes();
    ASSERT_GE(codes.size(), 13u) << "the enum of " << BRG40_PUBLIC_HEADER << " was not read as expected";
    std::set<std::string> texts;
    for (int status : codes) {
        expect_own_text(status);
        texts.insert(brg40_status_text(status, nullptr, 0));
    }
    EXPECT_EQ(texts.size(), codes.size()) << "two codes share one text";
}

TEST_F(StatusText, EveryOutcomeOfTheTransportHasItsOwnText) {
    // Failed requests bring the Windows errors a driver gives (those the simulated converter can
    // produce under Wine, and 31 for a failure without a number); or sense data of any kind.
    // On Linux: the errno table, and 121 and 1117 for requests the adapter ended.
    std::set<uint32_t> os_errors = {0, 31, 121, 1117};
    for (size_t i = 0; i < sim::kErrnoMappingCount; ++i) {
        os_errors.insert(sim::kErrnoMappings[i].windows_error);
    }
    size_t rows = 0;
    const brg40::ErrnoRow* row = brg40::errno_rows(&rows);
    for (size_t i = 0; i < rows; ++i) {
        os_errors.insert(row[i].windows_error);
    }
    std::set<int> statuses;
    uint8_t sense[32] = {};
    for (uint32_t os_error : os_errors) {
        for (int key = 0; key < 16; ++key) {
            for (int asc : {0x00, 0x24, 0x80, 0xFF}) {
                for (int ascq = 0; ascq < 256; ++ascq) {
                    sense[2] = static_cast<uint8_t>(key);
                    sense[12] = static_cast<uint8_t>(asc);
                    sense[13] = static_cast<uint8_t>(ascq);
                    statuses.insert(brg40::map_command_result(os_error, sense));
                }
            }
        }
    }
    EXPECT_GE(statuses.size(), 8u + os_errors.size());
    for (int status : statuses) {
        expect_own_text(status);
    }
}

TEST_F(StatusText, WhatTheLibraryReturnsHasItsOwnText) {
    int open_status = 0;
    Brg40Handle h = attach_and_open(1);
    EXPECT_EQ(brg40_open_ex(0, &open_status), nullptr);
    std::set<int> returned = {open_status};
    returned.insert(brg40_led_control(nullptr, 1));  // a null handle
    returned.insert(brg40_mode_change(h, 7, 0));     // refused modes
    returned.insert(brg40_mode_change(h, 2, 0));
    returned.insert(brg40_i2c_set_freq(h, 3));  // no such speed
    support::fail_requests_without_error(true);
    returned.insert(brg40_led_control(h, 1));  // failed without an error number
    support::fail_requests_without_error(false);
    brg40_close(h);
    Brg40Handle first = brg40_open(&open_status);
    EXPECT_EQ(brg40_open(&open_status), nullptr);
    returned.insert(open_status);  // still open
    brg40_close(first);
    EXPECT_EQ(returned, (std::set<int>{BRG40_NO_DEVICE, 6, BRG40_BAD_MODE, BRG40_SLAVE_MODE_EX_ONLY, BRG40_DEVICE_ERROR,
                                       31, BRG40_ALREADY_OPEN}));
    for (int status : returned) {
        expect_own_text(status);
    }
}

TEST(LinuxErrnoTable, ErrnoBecomesTheWindowsErrorOfTheSameMeaning) {
    const struct {
        int unix_errno;
        uint32_t windows_error;
    } kCases[] = {{ENOENT, 2},      {EACCES, 5}, {EPERM, 5},     {EBADF, 6},  {EBUSY, 32},  {EINVAL, 87},
                  {ETIMEDOUT, 121}, {EIO, 1117}, {ENODEV, 1167}, {ENOTTY, 1}, {EMLINK, 31}, {0, 31}};
    for (const auto& c : kCases) {
        EXPECT_EQ(brg40::windows_error_for_errno(c.unix_errno), c.windows_error) << "errno " << c.unix_errno;
    }
}

TEST(StatusTextMade, OtherNumbersSayWhatTheyAre) {
    char buffer[BRG40_STATUS_TEXT_SIZE];
    EXPECT_STREQ(brg40_status_text(12345, buffer, sizeof buffer), "Windows error 12345");
    EXPECT_STREQ(brg40_status_text(-5, buffer, sizeof buffer), "unknown status -5");
    EXPECT_NE(std::string(brg40_status_cause(-5)), brg40_status_cause(12345));
    EXPECT_STREQ(brg40_status_text(12345, nullptr, 0), "");
    char small[8];
    EXPECT_STREQ(brg40_status_text(12345, small, sizeof small), "Windows");  // cut, terminated
}

}  // namespace
