// Every outcome of a request, sense data or a failed request, and the status the library makes
// of it: one table for the Windows seam (the host suite) and the Linux seam (requests to emulated
// nodes), each row with what each system reports. Linux differs where a request fails without
// sense data: its errno carries no sense, and errors without an errno of their own arrive as EIO.
#include <ostream>

#include "library_fixture.h"

namespace {

struct SenseCase {
    const char* name;
    uint32_t os_error;    // nonzero: the request fails with this Windows error
    uint8_t sense_byte2;  // key in the low four bits
    uint8_t asc;
    uint8_t ascq;
    int on_windows;  // the status on Windows
    int on_linux;    // the status on Linux
};

void PrintTo(const SenseCase& c, std::ostream* os) {
    *os << c.name;
}

const SenseCase kSenseCases[] = {
    {"DeviceError1", 0, 3, 0x80, 1, BRG40_DEVICE_ERROR_1, BRG40_DEVICE_ERROR_1},
    {"DeviceError2", 0, 3, 0x80, 2, BRG40_DEVICE_ERROR_2, BRG40_DEVICE_ERROR_2},
    {"DeviceError3", 0, 3, 0x80, 3, BRG40_DEVICE_ERROR_3, BRG40_DEVICE_ERROR_3},
    {"DeviceError4", 0, 3, 0x80, 4, BRG40_DEVICE_ERROR_4, BRG40_DEVICE_ERROR_4},
    {"DeviceError5", 0, 3, 0x80, 5, BRG40_DEVICE_ERROR_5, BRG40_DEVICE_ERROR_5},
    {"DeviceError6", 0, 3, 0x80, 6, BRG40_DEVICE_ERROR_6, BRG40_DEVICE_ERROR_6},
    {"QualifierZeroGivesTheKey", 0, 3, 0x80, 0, BRG40_DEVICE_DETAIL, BRG40_DEVICE_DETAIL},
    {"QualifierSevenGivesTheKey", 0, 3, 0x80, 7, BRG40_DEVICE_DETAIL, BRG40_DEVICE_DETAIL},
    {"QualifierNineGivesTheKey", 0, 3, 0x80, 9, BRG40_DEVICE_DETAIL, BRG40_DEVICE_DETAIL},
    {"KeyThreeOtherCode", 0, 3, 0x81, 1, BRG40_DEVICE_ERROR, BRG40_DEVICE_ERROR},
    {"IllegalRequest", 0, 5, 0x24, 0, BRG40_DEVICE_ERROR, BRG40_DEVICE_ERROR},
    {"NotReady", 0, 2, 0x04, 1, BRG40_DEVICE_ERROR, BRG40_DEVICE_ERROR},
    {"KeyFifteen", 0, 0x0F, 0x80, 1, BRG40_DEVICE_ERROR, BRG40_DEVICE_ERROR},
    {"FlagBitsAboveTheKeyIgnored", 0, 0x23, 0x80, 4, BRG40_DEVICE_ERROR_4, BRG40_DEVICE_ERROR_4},
    {"FailedRequestWithSenseDecidedBySense", 31, 3, 0x80, 2, BRG40_DEVICE_ERROR_2, BRG40_ERROR_GEN_FAILURE},
    {"FailedRequestInvalidFunction", 1, 0, 0, 0, 1, 1},
    {"FailedRequestAccessDenied", 5, 0, 0, 0, 5, 5},
    {"FailedRequestInvalidHandle", 6, 0, 0, 0, 6, 6},
    {"FailedRequestNotReady", 21, 0, 0, 0, 21, BRG40_ERROR_IO_DEVICE},  // no errno says "not ready"
    {"FailedRequestGenFailure", 31, 0, 0, 0, 31, 31},
    {"FailedRequestSharingViolation", 32, 0, 0, 0, 32, 32},
    {"FailedRequestInvalidParameter", 87, 0, 0, 0, 87, 87},
    {"FailedRequestTimeout", 121, 0, 0, 0, 121, 121},
    {"FailedRequestDeviceNotConnected", 1167, 0, 0, 0, 1167, 1167},
    {"FlagBitsWithKeyZeroFailedRequest", 1117, 0x20, 0x80, 1, 1117, 1117},
};

class SenseMapping : public LibraryTest, public ::testing::WithParamInterface<SenseCase> {};

TEST_P(SenseMapping, GivesTheStatus) {
    const SenseCase& c = GetParam();
    Brg40Handle h = attach_and_open(1);
    sim::ScsiReply reply;
    reply.os_error = c.os_error;
    reply.sense[0] = c.sense_byte2 ? 0x70 : 0;
    reply.sense[2] = c.sense_byte2;
    reply.sense[12] = c.asc;
    reply.sense[13] = c.ascq;
    {
        auto guard = support::lock();
        dev(1).fail_command(218, reply, 1);
    }
    unsigned char major = 0, minor = 0;
#ifdef BRG40_LINUX_SEAM
    EXPECT_EQ(brg40_get_fw_version(h, &major, &minor), c.on_linux);
#else
    EXPECT_EQ(brg40_get_fw_version(h, &major, &minor), c.on_windows);
#endif
    EXPECT_EQ(major, 0xFF);
    EXPECT_EQ(minor, 0xFF);
    EXPECT_EQ(brg40_get_fw_version(h, &major, &minor), BRG40_OK) << "after the fault the converter answers again";
    brg40_close(h);
}

INSTANTIATE_TEST_SUITE_P(EveryCase,
                         SenseMapping,
                         ::testing::ValuesIn(kSenseCases),
                         [](const ::testing::TestParamInfo<SenseCase>& info) { return info.param.name; });

}  // namespace
