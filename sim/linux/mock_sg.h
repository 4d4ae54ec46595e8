// A SCSI device's generic node /dev/sgN in a umockdev testbed: its sysfs entry, the node, and
// answers from a simulated device to the requests a program under test sends it: written to the
// node and read back (sg_io_hdr, with replies matched by pack_id), or by SG_IO.
#ifndef BRG40_SIM_LINUX_MOCK_SG_H
#define BRG40_SIM_LINUX_MOCK_SG_H

#include <scsi/sg.h>
#include <umockdev.h>

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "scsi.h"

namespace sim {

// The request the device receives for one sg_io_hdr (data pointing at `data`), and the
// outcome written back into the header, its sense buffer and the errno the call fails with
// (0: it succeeds). A reply that fails with a Windows error fails the call with the errno that
// the library turns back into that error.
ScsiRequest request_from_sg(const sg_io_hdr& hdr, uint8_t* data);
int apply_sg_reply(const ScsiReply& reply, sg_io_hdr& hdr, uint8_t* sense);

// The errno of a request that the device fails with this Windows error: the first errno the
// library reads back as that error (the reverse of its table), EIO for one it has no errno for,
// and one outside its table for ERROR_GEN_FAILURE (31), which it reads as "any other errno".
int errno_for_failure(uint32_t windows_error);

// Where a unit's SCSI device sits: the USB device it belongs to (port path "1-3" and serial, empty
// for none), the vendor and product its SCSI device reports, and its logical unit.
struct SgPlace {
    std::string port = "1-1";
    std::string serial;
    std::string vendor = "ZEVAK";
    std::string product = "NKV-BRG40M";
    int lun = 0;  // the logical unit of the SCSI device ("H:0:0:<lun>")
};

// What the host adapter and the driver report for a request in place of success (the kernel's
// DID_ and DRIVER_ values), and the SCSI status it ends with.
struct SgStatuses {
    uint16_t host_status = 0;
    uint16_t driver_status = 0;
    int scsi_status = -1;  // -1: the device's own
};

class MockSg {
public:
    // Carries one request to the device; false when the device is not there any more.
    using Answer = std::function<bool(const ScsiRequest& request, ScsiReply& reply)>;

    // Adds /dev/sg<number> with an "add" uevent, below a SCSI device of its own (host <number> + 1)
    // below the USB device at place.port, as usb-storage makes them; the sysfs attributes say who
    // it is (vendor and model padded as the kernel pads them). present false: the node's handler
    // only, the device arrives later. The testbed must outlive this object, and nothing may use
    // the node any more when it is destroyed (umockdev may still be in the handler): a device
    // that goes and comes back leaves() and arrives() instead.
    MockSg(UMockdevTestbed* testbed, int number, const SgPlace& place, Answer answer, bool present = true);
    ~MockSg();
    MockSg(const MockSg&) = delete;
    MockSg& operator=(const MockSg&) = delete;

    // The device leaves the bus: its sysfs entries (the USB device included) and node go with a
    // "remove" uevent, and a descriptor still open on it fails every request with ENODEV. Any
    // thread.
    void leave();
    // It is back, with an "add" uevent, at place (which may have changed meanwhile). Any thread.
    void arrive(const SgPlace& place);
    void arrive() { arrive(m_place); }

    const std::string& devnode() const { return m_devnode; }

    // The next request to complete carries these statuses in its header; the device answers it
    // as usual. Calls queue up. Any thread.
    void complete_next_with(const SgStatuses& statuses);
    // The next reads of a reply fail, one each, with these errnos: EINTR as a signal that
    // interrupts the wait makes it, EAGAIN as a reply that is not there yet. Any thread.
    // (A real signal cannot do it here: umockdev blocks every signal while it carries a call to
    // the handler, and poll() does not reach the handler at all: the node is a plain file, which
    // poll() always finds ready. That is also what the driver would say, as the device answers
    // each request before its write() returns.)
    void disturb_waits(const std::vector<int>& errnos);
    // How many reads have failed that way since construction.
    uint32_t waits_disturbed();
    // Forgets the statuses and errnos not used yet.
    void clear_faults();

private:
    struct OpenFile;
    static OpenFile& FileOf(UMockdevIoctlClient* client);
    static gboolean OnIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, gpointer self);
    static gboolean OnWrite(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, gpointer self);
    static gboolean OnRead(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, gpointer self);
    void HandleIoctl(UMockdevIoctlClient* client);
    void HandleWrite(UMockdevIoctlClient* client);
    void HandleRead(UMockdevIoctlClient* client);
    // Carries the request of hdr (cdb: its command bytes) to the device: 0 with hdr's outputs,
    // data (data-in requests) and sense filled in, or the errno the request fails with.
    int Run(sg_io_hdr& hdr, const uint8_t* cdb, uint8_t* data, uint8_t* sense);

    UMockdevTestbed* m_testbed;
    const int m_number;
    Answer m_answer;
    UMockdevIoctlBase* m_handler;
    SgPlace m_place;
    std::string m_usbPath;   // sysfs path of the USB device, while present
    std::string m_scsiPath;  // of the SCSI device
    std::string m_sgPath;    // of the sg node's device
    std::string m_devnode;
    std::atomic<bool> m_present{false};
    std::mutex m_mutex;  // arrive and leave
    std::mutex m_faultMutex;
    std::deque<SgStatuses> m_nextStatuses;
    std::deque<int> m_waitErrors;
    uint32_t m_waitsDisturbed = 0;
};

// The testbed's sysfs folder as a path of this machine.
std::string sys_dir(UMockdevTestbed* testbed);

// The bus's root hub ("/devices/pci0000:00/0000:00:14.0/usb<bus>"), added once per testbed: the
// USB devices of either mode hang from it. Returns its sysfs path.
std::string root_hub(UMockdevTestbed* testbed, int bus);

// The address of the next USB device to arrive: every arrival gets a new one, in either mode, as
// the kernel gives them (unique within the process's testbed).
int next_usb_address();

}  // namespace sim

#endif
