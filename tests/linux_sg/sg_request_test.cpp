// One request as the library sends it on Linux, through its real seam to an emulated node that
// behaves as the SCSI generic driver may: waits that signals interrupt, a reply of another request
// ready first, and every status the host adapter and the driver report.
#include <scsi/sg.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <vector>

#include "../lib/library_fixture.h"
#include "umock_nodes.h"

namespace {

class SgRequestTest : public LibraryTest {
protected:
    // Version queries the device at lpt received.
    size_t version_queries(int lpt) { return records(lpt, 0xDA).size(); }
};

// A signal during the wait interrupts only the wait: the command went out once and its reply is
// the call's result.
TEST_F(SgRequestTest, InterruptedWaitsNeverSendTheCommandAgain) {
    Brg40Handle h = attach_and_open(1, 1, 4);
    const std::vector<std::vector<int>> disturbances = {{EINTR}, {EINTR, EINTR, EINTR}, {EAGAIN, EINTR, EAGAIN}};
    for (const std::vector<int>& errnos : disturbances) {
        SCOPED_TRACE(errnos.size());
        const size_t sent = version_queries(1);
        const uint32_t disturbed = support::node(1).waits_disturbed();
        support::node(1).disturb_waits(errnos);
        unsigned char major = 0, minor = 0;
        EXPECT_EQ(brg40_get_fw_version(h, &major, &minor), 0);
        EXPECT_EQ(minor, 4);
        EXPECT_EQ(version_queries(1), sent + 1) << "the command went out exactly once";
        EXPECT_EQ(support::node(1).waits_disturbed(), disturbed + errnos.size()) << "every wait was disturbed";
    }
    brg40_close(h);
}

// Another request in flight on the same descriptor (a slave receive worker's) completes first;
// the call still gets its own reply, and the other one stays for its sender.
TEST_F(SgRequestTest, EachCallReadsItsOwnReply) {
    Brg40Handle h = attach_and_open(1, 1, 4);
    const int fd = static_cast<int>(reinterpret_cast<intptr_t>(h)) - 1;  // the handle is the descriptor plus one
    uint8_t inquiry[6] = {0x12, 0, 0, 0, 36, 0};
    uint8_t identity[36] = {};
    sg_io_hdr other = {};
    other.interface_id = 'S';
    other.dxfer_direction = SG_DXFER_FROM_DEV;
    other.cmd_len = sizeof(inquiry);
    other.cmdp = inquiry;
    other.dxfer_len = sizeof(identity);
    other.dxferp = identity;
    other.timeout = 5000;
    other.pack_id = -7;  // never one of the library's
    ASSERT_EQ(write(fd, &other, sizeof(other)), static_cast<ssize_t>(sizeof(other)));

    unsigned char major = 0, minor = 0;
    EXPECT_EQ(brg40_get_fw_version(h, &major, &minor), 0);
    EXPECT_EQ(minor, 4);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(identity) + 8, 5), std::string(5, '\0')) << "not read yet";
    sg_io_hdr reply = {};
    reply.interface_id = 'S';
    reply.dxfer_direction = SG_DXFER_NONE;
    reply.pack_id = -7;
    ASSERT_EQ(read(fd, &reply, sizeof(reply)), static_cast<ssize_t>(sizeof(reply)));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(identity) + 8, 5), "ZEVAK");
    brg40_close(h);
}

// What each status of the host adapter (DID_) and of the driver (DRIVER_, with the suggestion of
// older kernels in the high four bits) becomes, with the SCSI status and sense data the device
// gives.
struct StatusRow {
    const char* name;
    uint16_t host_status;
    uint16_t driver_status;
    int scsi_status;  // -1: the device's
    bool sense;       // the device answers with converter error 1
    int status;
};

const StatusRow kStatusRows[] = {
    {"DID_OK", 0x00, 0x00, -1, false, 0},
    {"DID_NO_CONNECT", 0x01, 0x00, -1, false, 1167},
    {"DID_BUS_BUSY", 0x02, 0x00, -1, false, 170},
    {"DID_TIME_OUT", 0x03, 0x00, -1, false, 121},
    {"DID_BAD_TARGET", 0x04, 0x00, -1, false, 1117},
    {"DID_ABORT", 0x05, 0x00, -1, false, 1117},
    {"DID_PARITY", 0x06, 0x00, -1, false, 1117},
    {"DID_ERROR", 0x07, 0x00, -1, false, 1117},
    {"DID_RESET", 0x08, 0x00, -1, false, 1117},
    {"DID_BAD_INTR", 0x09, 0x00, -1, false, 1117},
    {"DID_PASSTHROUGH", 0x0A, 0x00, -1, false, 1117},
    {"DID_SOFT_ERROR", 0x0B, 0x00, -1, false, 1117},
    {"DID_IMM_RETRY", 0x0C, 0x00, -1, false, 1117},
    {"DID_REQUEUE", 0x0D, 0x00, -1, false, 1117},
    {"DID_TRANSPORT_DISRUPTED", 0x0E, 0x00, -1, false, 1117},
    {"DID_TRANSPORT_FAILFAST", 0x0F, 0x00, -1, false, 1117},
    {"DID_TARGET_FAILURE (older kernels)", 0x10, 0x00, -1, false, 1117},
    {"DID_NEXUS_FAILURE (older kernels)", 0x11, 0x00, -1, false, 1117},
    {"DID_ALLOC_FAILURE (older kernels)", 0x12, 0x00, -1, false, 1117},
    {"DID_MEDIUM_ERROR (older kernels)", 0x13, 0x00, -1, false, 1117},
    {"DID_TRANSPORT_MARGINAL", 0x14, 0x00, -1, false, 1117},
    {"DID_NO_CONNECT with sense data: the sense data decide", 0x01, 0x08, -1, true, BRG40_DEVICE_ERROR_1},
    {"DID_TIME_OUT with DRIVER_TIMEOUT", 0x03, 0x06, -1, false, 121},
    {"DRIVER_BUSY", 0x00, 0x01, -1, false, 1117},
    {"DRIVER_SOFT", 0x00, 0x02, -1, false, 1117},
    {"DRIVER_MEDIA", 0x00, 0x03, -1, false, 1117},
    {"DRIVER_ERROR", 0x00, 0x04, -1, false, 1117},
    {"DRIVER_INVALID", 0x00, 0x05, -1, false, 1117},
    {"DRIVER_TIMEOUT", 0x00, 0x06, -1, false, 121},
    {"DRIVER_HARD", 0x00, 0x07, -1, false, 1117},
    {"DRIVER_SENSE without CHECK CONDITION", 0x00, 0x08, -1, false, 0},
    {"DRIVER_SENSE with sense data", 0x00, 0x08, -1, true, BRG40_DEVICE_ERROR_1},
    {"SUGGEST_RETRY alone", 0x00, 0x10, -1, false, 0},
    {"SUGGEST_ABORT with DRIVER_TIMEOUT", 0x00, 0x26, -1, false, 121},
    {"SUGGEST_DIE with DRIVER_HARD", 0x00, 0x47, -1, false, 1117},
    {"SUGGEST_SENSE with DRIVER_SENSE and sense data", 0x00, 0x88, -1, true, BRG40_DEVICE_ERROR_1},
    {"CHECK CONDITION without sense data", 0x00, 0x00, 0x02, false, 1117},
    {"SCSI status BUSY", 0x00, 0x00, 0x08, false, 1117},
};

TEST_F(SgRequestTest, StatusesOfTheHostAdapterAndTheDriver) {
    Brg40Handle h = attach_and_open(1, 1, 4);
    for (const StatusRow& row : kStatusRows) {
        SCOPED_TRACE(row.name);
        if (row.sense) {
            sim::ScsiReply error;
            error.sense[0] = 0x70;
            error.sense[2] = 3;
            error.sense[12] = 0x80;
            error.sense[13] = 1;
            auto guard = support::lock();
            dev(1).fail_command(0xDA, error, 1);
        }
        support::node(1).complete_next_with({row.host_status, row.driver_status, row.scsi_status});
        unsigned char major = 0, minor = 0;
        EXPECT_EQ(brg40_get_fw_version(h, &major, &minor), row.status);
        EXPECT_EQ(minor, row.status == 0 ? 4 : 0xFF);
        EXPECT_EQ(brg40_get_fw_version(h, &major, &minor), 0) << "the next request is not affected";
    }
    brg40_close(h);
}

}  // namespace
