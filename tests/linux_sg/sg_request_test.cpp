// One request as the library sends it on Linux, through its real seam to an emulated node that
// behaves as the SCSI generic driver may: waits that signals interrupt, and a reply of another
// request ready first.
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

}  // namespace
