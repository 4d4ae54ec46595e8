// usb_client: the least a Linux program can do for one update: the exchanges of a programming run,
// a read-back and the close byte, over the first bulk endpoints of interface 0 claimed once, with
// plain synchronous libusb transfers and no checks beyond the echo. The yardstick of
// scripts/bench-cli-linux. It orders the converter into update mode first, through the library.
//   usb_client IMAGE     prints "usb_client ms=N exchanges=N ok=0|1" on stderr
#include <libusb.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "brg40firmup.h"
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

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: usb_client IMAGE\n");
        return 2;
    }
    std::vector<unsigned char> image(0x6000 - 0x800, 0xFF);
    if (FILE* f = std::fopen(argv[1], "rb")) {
        const size_t got = std::fread(image.data(), 1, image.size(), f);
        (void)got;  // a short image keeps 0xFF behind it
        std::fclose(f);
    }
    // Into update mode before the clock starts, as brg40 is timed from there too.
    int status = 0;
    Brg40Handle device = brg40_open(&status);
    brg40_change_firmup_mode(device);
    brg40_close(device);
    libusb_context* context = nullptr;
    if (libusb_init(&context) != 0) {
        std::fprintf(stderr, "usb_client: libusb_init failed\n");
        return 1;
    }
    for (int i = 0; i < 100 && ListUsbUpdateDevices(context).empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    const auto t0 = std::chrono::steady_clock::now();
    uint8_t out = 0, in = 0;
    libusb_device_handle* handle = OpenUpdateDevice(context, out, in);
    long exchanges = 0;
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
        ++exchanges;
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
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    std::fprintf(stderr, "usb_client ms=%.0f exchanges=%ld ok=%d\n", ms, exchanges + 1, ok ? 1 : 0);
    if (handle != nullptr) {
        libusb_release_interface(handle, 0);
        libusb_close(handle);
    }
    libusb_exit(context);
    return ok ? 0 : 1;
}
