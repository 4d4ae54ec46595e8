// usb_client: the minimal libusb update (tests/support/minimal_usb_update.h) as a program, the
// yardstick of scripts/bench-cli-linux. It orders the converter into update mode first, through
// the library, before the clock starts, as brg40 is timed from there too.
//   usb_client IMAGE     prints "usb_client ms=N exchanges=N ok=0|1" on stderr
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "brg40firmup.h"
#include "minimal_usb_update.h"
#include "usb_update_device.h"

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
    int status = 0;
    Brg40Handle device = brg40_open(&status);
    brg40_change_firmup_mode(device);
    brg40_close(device);
    UsbContext usb;
    WaitForUsbUpdateUnits(
        usb.context(), 10, [] { return false; }, [](const std::vector<UpdateUnit>& units) { return !units.empty(); });
    const MinimalResult r = MinimalUsbUpdate(usb.context(), image);
    std::fprintf(stderr, "usb_client ms=%.0f exchanges=%ld ok=%d\n", r.ms, r.transfers, r.ok ? 1 : 0);
    return r.ok ? 0 : 1;
}
