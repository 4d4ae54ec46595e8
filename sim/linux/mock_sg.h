// A SCSI device's generic node /dev/sgN in a umockdev testbed: its sysfs entry, the node, and
// answers to the SG_IO requests a program under test sends it, from a simulated device.
#ifndef BRG40_SIM_LINUX_MOCK_SG_H
#define BRG40_SIM_LINUX_MOCK_SG_H

#include <scsi/sg.h>
#include <umockdev.h>

#include <atomic>
#include <functional>
#include <string>

#include "scsi.h"

namespace sim {

// The request the device receives for one SG_IO header (data pointing at `data`), and the
// outcome written back into the header, its sense buffer and the errno the call fails with
// (0: it succeeds). A reply that fails with a Windows error fails the call with the errno that
// the library turns back into that error.
ScsiRequest request_from_sg(const sg_io_hdr& hdr, uint8_t* data);
int apply_sg_reply(const ScsiReply& reply, sg_io_hdr& hdr, uint8_t* sense);

// The errno of a request that the device fails with this Windows error: the first errno the
// library reads back as that error (the reverse of its table), EIO for one it has no errno for,
// and one outside its table for ERROR_GEN_FAILURE (31), which it reads as "any other errno".
int errno_for_failure(uint32_t windows_error);

class MockSg {
public:
    // Carries one request to the device; false when the device is not there any more.
    using Answer = std::function<bool(const ScsiRequest& request, ScsiReply& reply)>;

    // Adds /dev/sg<number> with an "add" uevent. The testbed must outlive this object, and
    // nothing may use the node any more when it is destroyed (umockdev may still be in the
    // handler): a device that goes and comes back leaves() and arrives() instead.
    MockSg(UMockdevTestbed* testbed, int number, Answer answer);
    ~MockSg();
    MockSg(const MockSg&) = delete;
    MockSg& operator=(const MockSg&) = delete;

    // The device leaves the bus: its sysfs entry and node go with a "remove" uevent, and a
    // descriptor still open on it fails every request with ENODEV. Any thread.
    void leave();
    // It is back, with an "add" uevent. Any thread.
    void arrive();

    const std::string& devnode() const { return m_devnode; }

private:
    static gboolean OnIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, gpointer self);
    void Handle(UMockdevIoctlClient* client);

    UMockdevTestbed* m_testbed;
    Answer m_answer;
    UMockdevIoctlBase* m_handler;
    std::string m_description;
    std::string m_syspath;
    std::string m_devnode;
    std::atomic<bool> m_present{false};
};

}  // namespace sim

#endif
