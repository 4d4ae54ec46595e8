// The minimal libusb update: open, claim, exchange, close byte.
#include "minimal_usb_update.h"

#include <chrono>
#include <cstring>

#include "usb_update_device.h"

namespace {

libusb_device_handle* OpenUpdateDevice(libusb_context* context, uint8_t& out, uint8_t& in) {
    libusb_device_handle* handle = libusb_open_device_with_vid_pid(context, kUpdateVendorId, kUpdateProductId);
    libusb_config_descriptor* config = nullptr;
    if (handle == nullptr || libusb_claim_interface(handle, 0) != 0 ||
        libusb_get_active_config_descriptor(libusb_get_device(handle), &config) != 0) {
        return handle;
    }
    const libusb_interface_descriptor& setting = config->interface[0].altsetting[0];
    for (int i = 0; i < setting.bNumEndpoints; ++i) {
        const libusb_endpoint_descriptor& e = setting.endpoint[i];
        uint8_t& slot = (e.bEndpointAddress & LIBUSB_ENDPOINT_IN) ? in : out;
        if ((e.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) == LIBUSB_TRANSFER_TYPE_BULK && slot == 0) {
            slot = e.bEndpointAddress;
        }
    }
    libusb_free_config_descriptor(config);
    return handle;
}

}  // namespace

MinimalResult MinimalUsbUpdate(libusb_context* context, const std::vector<unsigned char>& image) {
    MinimalResult result;
    const auto t0 = std::chrono::steady_clock::now();
    uint8_t out = 0, in = 0;
    libusb_device_handle* handle = OpenUpdateDevice(context, out, in);
    bool ok = handle != nullptr && out != 0 && in != 0;
    auto exchange = [&](unsigned char command, unsigned address, const unsigned char* data) {
        unsigned char packet[21] = {command, static_cast<unsigned char>(command == 3 ? 1 : 16),
                                    static_cast<unsigned char>(address), static_cast<unsigned char>(address >> 8),
                                    static_cast<unsigned char>(address >> 16)};
        const int size = command == 2 ? 21 : 5;
        if (data) {
            std::memcpy(packet + 5, data, 16);
        }
        unsigned char reply[21] = {};
        int done = 0;
        ok = ok && libusb_bulk_transfer(handle, out, packet, size, &done, 1000) == 0 &&
             libusb_bulk_transfer(handle, in, reply, command == 1 ? 21 : 1, &done, 1000) == 0 && reply[0] == command;
        ++result.transfers;
    };
    exchange(1, 0x5FE0, nullptr);
    for (unsigned a = 0x800; a < 0x6000; a += 64) {
        exchange(3, a, nullptr);
    }
    for (unsigned a = 0x800; a < 0x6000; a += 16) {
        exchange(2, a, image.data() + (a - 0x800));
    }
    for (unsigned a = 0x800; a < 0x6000; a += 16) {
        exchange(1, a, nullptr);
    }
    unsigned char close = 0xFF;
    int done = 0;
    ok = ok && libusb_bulk_transfer(handle, out, &close, 1, &done, 1000) == 0;
    ++result.transfers;
    result.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    if (handle != nullptr) {
        libusb_release_interface(handle, 0);
        libusb_close(handle);
    }
    result.ok = ok;
    return result;
}
