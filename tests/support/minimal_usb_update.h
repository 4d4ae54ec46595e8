// The least a libusb program does for one update, the yardstick of the Linux benchmarks: the
// exchanges of a programming run, a read-back and the close byte, over the first bulk endpoints of
// interface 0 claimed once, plain synchronous transfers, no check beyond the echo.
#ifndef BRG40_TESTS_MINIMAL_USB_UPDATE_H
#define BRG40_TESTS_MINIMAL_USB_UPDATE_H

#include <libusb.h>

#include <vector>

struct MinimalResult {
    bool ok = false;
    long transfers = 0;  // exchanges plus the close byte
    double ms = 0;       // from opening the device to the close byte
};

// image: the 0x5800 bytes from 0x800 (0xFF where the file is shorter).
MinimalResult MinimalUsbUpdate(libusb_context* context, const std::vector<unsigned char>& image);

#endif
