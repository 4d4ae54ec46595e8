// The update-mode converter on an emulated USB bus: descriptors in sysfs, usbdevfs answered from
// the simulated loader. The ioctl handler runs on umockdev's own thread; one lock serialises it
// with plug and unplug from the test's threads.
#include "mock_usb.h"

#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "../../update/update_device_id.h"
#include "mock_sg.h"
#include "uevent_lock.h"

namespace sim {

namespace {

// The converter in update mode: full speed, one configuration; interface 0 (vendor class) with
// five endpoints, see mock_usb.h. The device descriptor is made with the update-mode IDs.
const char kConfigDescriptors[] =
    "090235000101008032"  // configuration 1, 53 bytes in all
    "0904000005ff000000"  // interface 0, five endpoints
    "0705830308000a"      // interrupt IN 0x83
    "07050102400000"      // bulk OUT 0x01: the command pipe
    "07058202400000"      // bulk IN 0x82: the reply pipe
    "07050402400000"      // bulk OUT 0x04, unused
    "07058502400000";     // bulk IN 0x85, unused

std::string DeviceDescriptors() {
    char device[40];
    std::snprintf(device, sizeof device, "1201000200000040%02x%02x%02x%02x000100000001", kUpdateVendorId & 0xFF,
                  kUpdateVendorId >> 8, kUpdateProductId & 0xFF, kUpdateProductId >> 8);
    return device + std::string(kConfigDescriptors);
}

std::string Hex(unsigned long value) {
    char text[24];
    std::snprintf(text, sizeof(text), "0x%lx", value);
    return text;
}

// An ID as sysfs writes it ("1f3a", "0c21"), or as a uevent's PRODUCT does ("c21").
std::string Hex4(uint16_t value, bool padded) {
    char text[8];
    std::snprintf(text, sizeof(text), padded ? "%04x" : "%x", value);
    return text;
}

}  // namespace

MockUsb::MockUsb(UMockdevTestbed* testbed, FaceLink& link, int lpt, const std::string& port, const std::string& serial)
    : m_testbed(testbed),
      m_link(link),
      m_handler(umockdev_ioctl_base_new()),
      m_lpt(lpt),
      m_port(port),
      m_serial(serial),
      m_bus(std::stoi(port.substr(0, port.find('-')))) {
    g_signal_connect(m_handler, "handle-ioctl", G_CALLBACK(OnIoctl), this);
    m_hubPath = root_hub(testbed, m_bus);
}

MockUsb::~MockUsb() {
    unplug();
    for (const std::string& node : m_attached) {
        umockdev_testbed_detach_ioctl(m_testbed, node.c_str(), nullptr);
    }
    g_object_unref(m_handler);
    for (Urb& urb : m_urbs) {
        Release(urb);
    }
}

void MockUsb::plug() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_plugged) {
        return;
    }
    m_address = next_usb_address();  // like the kernel: every arrival gets a new address
    char node[32];
    std::snprintf(node, sizeof(node), "/dev/bus/usb/%03d/%03d", m_bus, m_address);
    m_devnode = node;
    m_outCount = 0;
    // The handler first, so that the node answers as soon as the "add" uevent is out.
    umockdev_testbed_attach_ioctl(m_testbed, node, m_handler, nullptr);
    m_attached.push_back(node);
    const std::string b = std::to_string(m_bus), d = std::to_string(m_address);
    const std::string device = "P: " + m_hubPath + "/" + m_port + "\nN: " + std::string(node + 5) +
                               "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n" + "E: DRIVER=usb\nE: BUSNUM=" + b +
                               "\nE: DEVNUM=" + d + "\nE: DEVNAME=" + node +
                               "\nE: PRODUCT=" + Hex4(kUpdateVendorId, false) + "/" + Hex4(kUpdateProductId, false) +
                               "/100\nA: busnum=" + b + "\\n\nA: devnum=" + d +
                               "\\n\nA: speed=12\\n\nA: idVendor=" + Hex4(kUpdateVendorId, true) +
                               "\\n\nA: idProduct=" + Hex4(kUpdateProductId, true) + "\\n\n" +
                               (m_serial.empty() ? "" : "A: serial=" + m_serial + "\\n\n") +
                               "A: bConfigurationValue=1\\n\nH: descriptors=" + DeviceDescriptors() + "\n";
    AddDevices(m_testbed, device);
    m_plugged = true;
}

void MockUsb::unplug() {
    std::lock_guard<std::mutex> lock(m_mutex);
    UnplugLocked();
}

void MockUsb::UnplugLocked() {
    if (!m_plugged) {
        return;
    }
    m_plugged = false;
    for (Urb& urb : m_urbs) {
        if (!urb.done) {
            urb.status = -ENODEV;
            urb.done = true;
        }
    }
    RemoveDevice(m_testbed, "/sys" + m_hubPath + "/" + m_port);
    m_devnode.clear();
}

bool MockUsb::plugged() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_plugged;
}

void MockUsb::unplug_at_out(uint32_t n) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_unplugAt = n;
}

void MockUsb::halt(uint8_t endpoint) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_halted.insert(endpoint);
}

uint32_t MockUsb::halts_cleared() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_haltsCleared;
}

void MockUsb::pad_replies(size_t size) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_padTo = size < kMockPacketSize ? size : kMockPacketSize;
}

void MockUsb::hold_reply(const std::vector<uint8_t>& packet) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_heldReplies.push_back(packet);
}

void MockUsb::bind_driver(const std::string& name) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_driver = name;
}

uint32_t MockUsb::driver_disconnects() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_disconnects;
}

std::string MockUsb::syspath() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_plugged ? "/sys" + m_hubPath + "/" + m_port : "";
}

std::string MockUsb::devnode() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_devnode;
}

std::set<uint8_t> MockUsb::endpoints_used() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_endpoints;
}

uint32_t MockUsb::out_count() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_outCount;
}

std::vector<std::string> MockUsb::unknown_requests() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_unknown;
}

gboolean MockUsb::OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    MockUsb* usb = static_cast<MockUsb*>(self);
    std::lock_guard<std::mutex> lock(usb->m_mutex);
    return usb->Handle(client) ? TRUE : FALSE;
}

bool MockUsb::Handle(UMockdevIoctlClient* client) {
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    const bool present = m_plugged && m_devnode == umockdev_ioctl_client_get_devnode(client);
    switch (request) {
        case USBDEVFS_REAPURB:  // libusb reaps without waiting; a blocking reap answers the same
        case USBDEVFS_REAPURBNDELAY:
            Reap(client, arg);
            return true;
        case USBDEVFS_DISCARDURB:
            Discard(client, arg);
            return true;
        default:
            break;
    }
    if (!present) {
        umockdev_ioctl_client_complete(client, -1, ENODEV);  // the device has gone
        return true;
    }
    switch (request) {
        case USBDEVFS_GET_CAPABILITIES: {
            UMockdevIoctlData* caps = umockdev_ioctl_data_resolve(arg, 0, sizeof(uint32_t), nullptr);
            const uint32_t value = USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                   USBDEVFS_CAP_REAP_AFTER_DISCONNECT | USBDEVFS_CAP_ZERO_PACKET;
            std::memcpy(caps->data, &value, sizeof(value));
            umockdev_ioctl_client_complete(client, 0, 0);
            umockdev_ioctl_data_unref(caps);
            return true;
        }
        case USBDEVFS_GETDRIVER: {
            UMockdevIoctlData* query = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_getdriver), nullptr);
            usbdevfs_getdriver* q = reinterpret_cast<usbdevfs_getdriver*>(query->data);
            if (q->interface == 0 && !m_driver.empty()) {
                std::snprintf(q->driver, sizeof(q->driver), "%s", m_driver.c_str());
                umockdev_ioctl_client_complete(client, 0, 0);
            } else {
                umockdev_ioctl_client_complete(client, -1, ENODATA);  // no kernel driver is bound
            }
            umockdev_ioctl_data_unref(query);
            return true;
        }
        case USBDEVFS_IOCTL: {
            UMockdevIoctlData* command = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_ioctl), nullptr);
            const usbdevfs_ioctl* c = reinterpret_cast<const usbdevfs_ioctl*>(command->data);
            if (c->ifno == 0 && c->ioctl_code == static_cast<int>(USBDEVFS_DISCONNECT) && !m_driver.empty()) {
                m_driver.clear();
                ++m_disconnects;
                umockdev_ioctl_client_complete(client, 0, 0);
            } else {
                m_unknown.push_back("usbdevfs_ioctl " + Hex(static_cast<unsigned long>(c->ioctl_code)));
                umockdev_ioctl_client_complete(client, -1, ENODATA);
            }
            umockdev_ioctl_data_unref(command);
            return true;
        }
        case USBDEVFS_CLAIMINTERFACE:
        case USBDEVFS_RELEASEINTERFACE: {
            UMockdevIoctlData* number = umockdev_ioctl_data_resolve(arg, 0, sizeof(unsigned), nullptr);
            unsigned value = 0;
            std::memcpy(&value, number->data, sizeof(value));
            const bool held = request == USBDEVFS_CLAIMINTERFACE && !m_driver.empty();
            const int error = value != 0 ? EINVAL : held ? EBUSY : 0;  // a bound driver keeps the claim from us
            umockdev_ioctl_client_complete(client, error ? -1 : 0, error);
            umockdev_ioctl_data_unref(number);
            return true;
        }
        case USBDEVFS_CLEAR_HALT: {
            UMockdevIoctlData* number = umockdev_ioctl_data_resolve(arg, 0, sizeof(unsigned), nullptr);
            unsigned endpoint = 0;
            std::memcpy(&endpoint, number->data, sizeof(endpoint));
            m_haltsCleared += m_halted.erase(static_cast<uint8_t>(endpoint)) != 0 ? 1 : 0;
            umockdev_ioctl_client_complete(client, 0, 0);
            umockdev_ioctl_data_unref(number);
            return true;
        }
        case USBDEVFS_RESETEP:
            umockdev_ioctl_client_complete(client, 0, 0);
            return true;
        case USBDEVFS_SUBMITURB:
            Submit(client, arg);
            return true;
        default:
            m_unknown.push_back(Hex(request));
            umockdev_ioctl_client_complete(client, -1, ENOTTY);
            return true;
    }
}

void MockUsb::Submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    Urb urb = {umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr), nullptr, 0, false};
    usbdevfs_urb* u = reinterpret_cast<usbdevfs_urb*>(urb.urb->data);
    if (u->type != USBDEVFS_URB_TYPE_BULK || u->buffer_length < 0) {
        m_unknown.push_back("urb type " + std::to_string(u->type));
        umockdev_ioctl_data_unref(urb.urb);
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return;
    }
    m_endpoints.insert(u->endpoint);
    const bool out = (u->endpoint & 0x80) == 0;
    if (out && m_unplugAt != 0 && m_outCount + 1 == m_unplugAt) {
        UnplugLocked();
        umockdev_ioctl_data_unref(urb.urb);
        umockdev_ioctl_client_complete(client, -1, ENODEV);
        return;
    }
    urb.buffer = umockdev_ioctl_data_resolve(urb.urb, offsetof(usbdevfs_urb, buffer),
                                             static_cast<size_t>(u->buffer_length), nullptr);
    u->actual_length = 0;
    if (m_halted.count(u->endpoint) != 0) {
        urb.status = -EPIPE;  // the device answers with a STALL handshake: nothing moves
        urb.done = true;
    } else if (out) {
        if (u->endpoint == kMockCommandEndpoint) {
            m_link.pipe_write(m_lpt, urb.buffer->data, static_cast<size_t>(u->buffer_length));
            ++m_outCount;
        }
        u->actual_length = u->buffer_length;  // the spare OUT endpoint takes and drops its data
        urb.done = true;
    }
    m_urbs.push_back(urb);
    umockdev_ioctl_client_complete(client, 0, 0);
}

size_t MockUsb::NextReply(uint8_t (&packet)[kMockPacketSize]) {
    size_t got = 0;
    if (!m_heldReplies.empty()) {
        const std::vector<uint8_t>& held = m_heldReplies.front();
        got = held.size() < kMockPacketSize ? held.size() : kMockPacketSize;
        std::memcpy(packet, held.data(), got);
        m_heldReplies.pop_front();
        return got;
    }
    got = m_link.pipe_read(m_lpt, packet, kMockPacketSize);
    if (got != 0 && got < m_padTo) {
        std::memset(packet + got, 0, m_padTo - got);
        got = m_padTo;
    }
    return got;
}

// Replies for the IN transfers waiting on the reply endpoint, as far as the loader has them. Each
// reply is one packet; a transfer shorter than the packet takes what fits and fails with
// EOVERFLOW, as the host controller reports a device that sends more than it was asked for.
void MockUsb::FillReplies() {
    for (Urb& urb : m_urbs) {
        usbdevfs_urb* u = reinterpret_cast<usbdevfs_urb*>(urb.urb->data);
        if (urb.done || u->endpoint != kMockReplyEndpoint) {
            continue;
        }
        uint8_t packet[kMockPacketSize];
        const size_t got = NextReply(packet);
        if (got == 0) {
            return;  // later ones wait behind this one
        }
        const size_t room = static_cast<size_t>(u->buffer_length);
        const size_t fits = got < room ? got : room;
        if (fits != 0) {
            std::memcpy(urb.buffer->data, packet, fits);
        }
        u->actual_length = static_cast<int>(fits);
        urb.status = got > room ? -EOVERFLOW : 0;
        urb.done = true;
    }
}

void MockUsb::Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    if (m_plugged) {
        FillReplies();
    }
    for (auto it = m_urbs.begin(); it != m_urbs.end(); ++it) {
        if (!it->done) {
            continue;
        }
        reinterpret_cast<usbdevfs_urb*>(it->urb->data)->status = it->status;
        UMockdevIoctlData* pointer = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), nullptr);
        umockdev_ioctl_data_set_ptr(pointer, 0, it->urb);
        umockdev_ioctl_client_complete(client, 0, 0);
        umockdev_ioctl_data_unref(pointer);
        Release(*it);
        m_urbs.erase(it);
        return;
    }
    const bool present = m_plugged && m_devnode == umockdev_ioctl_client_get_devnode(client);
    umockdev_ioctl_client_complete(client, -1, present ? EAGAIN : ENODEV);
}

void MockUsb::Discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    gulong address = 0;
    std::memcpy(&address, arg->data, sizeof(address));  // the argument is the URB's own address
    for (Urb& urb : m_urbs) {
        if (urb.urb->client_addr == address && !urb.done) {
            urb.status = -ENOENT;
            urb.done = true;
            umockdev_ioctl_client_complete(client, 0, 0);
            return;
        }
    }
    umockdev_ioctl_client_complete(client, -1, EINVAL);
}

void MockUsb::Release(Urb& urb) {
    if (urb.buffer != nullptr) {
        umockdev_ioctl_data_unref(urb.buffer);
    }
    umockdev_ioctl_data_unref(urb.urb);
}

}  // namespace sim
