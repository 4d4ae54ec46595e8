// The update pipe over libusb: one claimed interface, kept while the transfers succeed or stall.
#include "usb_update_pipe.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// A packet a host always accepts: the largest a full-speed bulk endpoint sends, for a descriptor
// that gives no size.
constexpr int kFallbackPacketSize = 64;
// What the reply endpoint still holds is there at once: a stale reply waits in the device's
// endpoint buffer for the next IN token. Anything later than this is no leftover.
constexpr unsigned kDrainTimeoutMs = 50;
constexpr int kMaxStaleReplies = 16;  // a device that keeps sending is not drained forever

// The first bulk endpoint of the given direction in the interface's first setting, or null.
const libusb_endpoint_descriptor* FirstBulkEndpoint(const libusb_interface_descriptor& setting, uint8_t direction) {
    for (int i = 0; i < setting.bNumEndpoints; ++i) {
        const libusb_endpoint_descriptor& endpoint = setting.endpoint[i];
        if ((endpoint.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) == LIBUSB_TRANSFER_TYPE_BULK &&
            (endpoint.bEndpointAddress & LIBUSB_ENDPOINT_DIR_MASK) == direction) {
            return &endpoint;
        }
    }
    return nullptr;
}

}  // namespace

UsbUpdatePipe::~UsbUpdatePipe() {
    Close();
}

int UsbUpdatePipe::Write(const uint8_t* data, uint32_t size) {
    return Transfer(const_cast<uint8_t*>(data), size, true);  // an OUT transfer only reads it
}

int UsbUpdatePipe::Read(uint8_t* data, uint32_t size) {
    return Transfer(data, size, false);
}

bool UsbUpdatePipe::Open() {
    if (m_handle != nullptr) {
        return true;
    }
    if (m_usb.context() == nullptr) {
        return false;
    }
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(m_usb.context(), &list);
    for (ssize_t i = 0; i < count && m_handle == nullptr; ++i) {
        if (!IsUpdateDevice(list[i])) {
            continue;
        }
        const UpdateUnit found = UsbUpdateUnit(list[i]);
        if (found.path != m_unit.path || (!m_unit.serial.empty() && found.serial != m_unit.serial)) {
            continue;  // another unit's device, or another device on the unit's port
        }
        if (!Claim(list[i])) {
            Close();
        }
    }
    if (list != nullptr) {
        libusb_free_device_list(list, 1);
    }
    if (m_handle != nullptr) {
        DrainReplies();
    }
    return m_handle != nullptr;
}

// Opens device and claims interface 0; m_handle is set as soon as the device opens, so that a
// failure later on is undone by Close.
bool UsbUpdatePipe::Claim(libusb_device* device) {
    int result = libusb_open(device, &m_handle);
    if (result != LIBUSB_SUCCESS) {
        UsbDiagnostic("libusb_open", result);  // LIBUSB_ERROR_ACCESS: the udev rule is missing
        m_handle = nullptr;
        return false;
    }
    // No driver is needed, but a kernel driver bound to the interface would keep the claim from us.
    if (libusb_kernel_driver_active(m_handle, kUpdateInterface) == 1) {
        result = libusb_detach_kernel_driver(m_handle, kUpdateInterface);
        if (result != LIBUSB_SUCCESS) {
            UsbDiagnostic("libusb_detach_kernel_driver", result);
            return false;
        }
    }
    result = libusb_claim_interface(m_handle, kUpdateInterface);
    if (result != LIBUSB_SUCCESS) {
        UsbDiagnostic("libusb_claim_interface", result);
        return false;
    }
    libusb_config_descriptor* config = nullptr;
    result = libusb_get_active_config_descriptor(device, &config);
    if (result != LIBUSB_SUCCESS) {
        UsbDiagnostic("libusb_get_active_config_descriptor", result);
        return false;
    }
    if (config->bNumInterfaces > kUpdateInterface && config->interface[kUpdateInterface].num_altsetting > 0) {
        const libusb_interface_descriptor& setting = config->interface[kUpdateInterface].altsetting[0];
        const libusb_endpoint_descriptor* command = FirstBulkEndpoint(setting, LIBUSB_ENDPOINT_OUT);
        const libusb_endpoint_descriptor* reply = FirstBulkEndpoint(setting, LIBUSB_ENDPOINT_IN);
        if (command != nullptr && reply != nullptr) {
            m_commandEndpoint = command->bEndpointAddress;
            m_replyEndpoint = reply->bEndpointAddress;
            const int size = reply->wMaxPacketSize & 0x07FF;  // bits 11 and 12 count extra transactions
            m_replyPacketSize = size != 0 ? size : kFallbackPacketSize;
        }
    }
    libusb_free_config_descriptor(config);
    if (m_commandEndpoint == 0 || m_replyEndpoint == 0) {
        UsbDiagnostic("bulk endpoints of interface 0", LIBUSB_ERROR_NOT_FOUND);
        return false;
    }
    m_device = m_unit.key;
    return true;
}

// A reply that an earlier program asked for and never read (it ended, or its read timed out)
// still waits in the reply endpoint and would be taken for the answer to our first request:
// read and drop whatever comes at once.
void UsbUpdatePipe::DrainReplies() {
    std::vector<uint8_t> packet(static_cast<size_t>(m_replyPacketSize));
    for (int i = 0; i < kMaxStaleReplies; ++i) {
        int got = 0;
        if (Bulk(m_replyEndpoint, packet.data(), m_replyPacketSize, &got, kDrainTimeoutMs) != LIBUSB_SUCCESS) {
            return;  // LIBUSB_ERROR_TIMEOUT: nothing (more) is waiting
        }
    }
}

void UsbUpdatePipe::Close() {
    if (m_handle != nullptr) {
        libusb_release_interface(m_handle, kUpdateInterface);  // fails harmlessly when never claimed or gone
        libusb_close(m_handle);
    }
    m_handle = nullptr;
    m_commandEndpoint = m_replyEndpoint = 0;
    m_replyPacketSize = 0;
    m_device.clear();
}

int UsbUpdatePipe::Bulk(uint8_t endpoint, uint8_t* data, int size, int* transferred, unsigned timeoutMs) {
    const int result = libusb_bulk_transfer(m_handle, endpoint, data, size, transferred, timeoutMs);
    if (result != LIBUSB_ERROR_PIPE) {
        return result;
    }
    // The device stalled the endpoint: every later transfer on it fails until the halt is
    // cleared, and claiming the interface again does not clear it.
    const int cleared = libusb_clear_halt(m_handle, endpoint);
    if (cleared != LIBUSB_SUCCESS) {
        UsbDiagnostic("libusb_clear_halt", cleared);
        return cleared;
    }
    return result;
}

int UsbUpdatePipe::Transfer(uint8_t* data, uint32_t size, bool toDevice) {
    if (!Open()) {
        return -1;
    }
    // The loader answers with one packet, which may be longer than the caller asks for: asking
    // libusb for fewer bytes than the device sends fails the transfer (LIBUSB_ERROR_OVERFLOW).
    // So a reply is read into whole packets, and only what was asked for is handed on.
    std::vector<uint8_t> reply;
    if (!toDevice) {
        const uint32_t packet = static_cast<uint32_t>(m_replyPacketSize);
        reply.resize((size + packet - 1) / packet * packet);
    }
    int transferred = 0;
    const int result =
        toDevice ? Bulk(m_commandEndpoint, data, static_cast<int>(size), &transferred, kUpdateTransferTimeoutMs)
                 : Bulk(m_replyEndpoint, reply.data(), static_cast<int>(reply.size()), &transferred,
                        kUpdateTransferTimeoutMs);
    if (result != LIBUSB_SUCCESS) {
        UsbDiagnostic("libusb_bulk_transfer", result);
        if (result != LIBUSB_ERROR_PIPE) {
            Close();  // the device may have gone: the next transfer finds it anew
        }
        return toDevice ? 1 : 0;  // what came before a failure is no reply
    }
    if (toDevice) {
        return 1;
    }
    const uint32_t delivered = std::min(static_cast<uint32_t>(transferred), size);
    std::memcpy(data, reply.data(), delivered);
    return static_cast<int>(delivered);
}
