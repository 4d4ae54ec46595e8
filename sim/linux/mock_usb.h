// The converter in update mode as a USB device in a umockdev testbed: the sysfs entry and the
// descriptors libusb reads, the node /dev/bus/usb/BBB/DDD, and answers to the usbdevfs ioctls that
// carry its bulk transfers to the simulated loader's two pipes.
#ifndef BRG40_SIM_LINUX_MOCK_USB_H
#define BRG40_SIM_LINUX_MOCK_USB_H

#include <umockdev.h>

#include <cstdint>
#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "face_link.h"

namespace sim {

// Interface 0 holds, in this order: an interrupt IN endpoint, the bulk OUT and bulk IN endpoints
// that carry the loader's pipes, and a second bulk pair that must stay unused, so that a host
// that takes any endpoint but the first bulk one of each direction is seen.
constexpr uint8_t kMockInterruptEndpoint = 0x83;
constexpr uint8_t kMockCommandEndpoint = 0x01;
constexpr uint8_t kMockReplyEndpoint = 0x82;
constexpr uint8_t kMockSpareOutEndpoint = 0x04;
constexpr uint8_t kMockSpareInEndpoint = 0x85;
constexpr size_t kMockPacketSize = 64;  // wMaxPacketSize of the bulk endpoints (full speed)

class MockUsb {
public:
    // Unit lpt's update-mode device, at port ("<bus>-<port>") with serial (empty: it reports
    // none). Adds the bus's root hub to testbed if it is not there; the device itself appears with
    // plug(). The testbed and the link must outlive this object.
    MockUsb(UMockdevTestbed* testbed, FaceLink& link, int lpt, const std::string& port, const std::string& serial);
    ~MockUsb();
    MockUsb(const MockUsb&) = delete;
    MockUsb& operator=(const MockUsb&) = delete;

    // The device arrives at the next free address, with an "add" uevent. Any thread.
    void plug();
    // The device leaves: its URBs still waiting complete with ENODEV, every later request on its
    // node fails with ENODEV, and its sysfs entry and node go with a "remove" uevent. Any thread.
    void unplug();
    bool plugged();
    // Unplugs as bulk OUT transfer number n since the last plug arrives (it is not delivered);
    // 0: never.
    void unplug_at_out(uint32_t n);

    // The device stalls endpoint: every transfer submitted to it fails with EPIPE until a host
    // clears the halt (USBDEVFS_CLEAR_HALT). Any thread.
    void halt(uint8_t endpoint);
    // Halts a host has cleared since construction.
    uint32_t halts_cleared();
    // The loader's replies come padded with zeros to size bytes (at most kMockPacketSize), as from
    // a loader that always sends whole packets; 0: as long as the loader makes them. Any thread.
    void pad_replies(size_t size);
    // The reply endpoint still holds packet from an earlier run that nobody read: the next IN
    // transfer gets it before anything the loader answers. Any thread.
    void hold_reply(const std::vector<uint8_t>& packet);

    // A kernel driver named name holds interface 0 (as usbhid or a serial driver might on a real
    // machine): claims fail with EBUSY until a host disconnects it. Any thread.
    void bind_driver(const std::string& name);
    // Kernel drivers a host disconnected from interface 0 since construction.
    uint32_t driver_disconnects();

    const std::string& port() const { return m_port; }
    const std::string& serial() const { return m_serial; }
    // "/sys/devices/.../<bus>-<port>" and "/dev/bus/usb/BBB/DDD" of the device while plugged.
    std::string syspath();
    std::string devnode();
    // The endpoints that bulk transfers were submitted to since construction.
    std::set<uint8_t> endpoints_used();
    // Bulk OUT transfers delivered since the last plug.
    uint32_t out_count();
    // Requests the handler did not know, as "0x<request>" (a test fails on any).
    std::vector<std::string> unknown_requests();

private:
    struct Urb {
        UMockdevIoctlData* urb;     // the client's usbdevfs_urb, resolved (one reference held)
        UMockdevIoctlData* buffer;  // its data buffer, resolved (one reference held)
        int status;
        bool done;
    };

    static gboolean OnIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, gpointer self);
    bool Handle(UMockdevIoctlClient* client);
    void Submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void Discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void FillReplies();
    // The next reply packet for the reply endpoint into packet: a held one first, else the
    // loader's; 0 when there is none yet.
    size_t NextReply(uint8_t (&packet)[kMockPacketSize]);
    void UnplugLocked();
    static void Release(Urb& urb);

    UMockdevTestbed* m_testbed;
    FaceLink& m_link;
    UMockdevIoctlBase* m_handler;
    const int m_lpt;
    const std::string m_port;
    const std::string m_serial;
    const int m_bus;
    std::string m_hubPath;
    std::mutex m_mutex;
    int m_address = 0;
    bool m_plugged = false;
    std::string m_devnode;
    std::vector<std::string> m_attached;
    std::deque<Urb> m_urbs;
    uint32_t m_outCount = 0;
    std::string m_driver;
    uint32_t m_disconnects = 0;
    uint32_t m_unplugAt = 0;
    std::set<uint8_t> m_endpoints;
    std::set<uint8_t> m_halted;
    uint32_t m_haltsCleared = 0;
    size_t m_padTo = 0;
    std::deque<std::vector<uint8_t>> m_heldReplies;
    std::vector<std::string> m_unknown;
};

}  // namespace sim

#endif
