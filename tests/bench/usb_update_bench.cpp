// One update over libusb and the emulated USB bus, in this process, two ways: the tool's run and
// closing check over UsbUpdatePipe (what brg40 fw update does once in update mode), and the
// minimal libusb client making the same exchanges. Both pay the same umockdev round trips, so the
// ratio is what the tool's core and pipe add. A benchmark: it prints, it asserts nothing.
//   umockdev-wrapper build/native/tests/bench/usb_update_bench [REPEATS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "converter_link.h"
#include "dialog_events.h"
#include "image_gen.h"
#include "minimal_usb_update.h"
#include "mock_usb.h"
#include "recording_dialog.h"
#include "simulated_update_device.h"
#include "usb_update_pipe.h"

namespace {

// A converter in update mode on a fresh emulated bus, for one measurement.
struct Bench {
    UMockdevTestbed* testbed = umockdev_testbed_new();
    UpdateDevice device{1, 4, 1};
    ConverterLink link{device};
    sim::MockUsb* usb = new sim::MockUsb(testbed, link, 1, "1-2", "");
    Bench() {
        device.loader().set_recording(false);
        usb->plug();
    }
    ~Bench() {
        delete usb;
        g_object_unref(testbed);
    }
    bool updated() { return device.reported_version() == 0x0105; }
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const char* preload = std::getenv("LD_PRELOAD");
    if (preload == nullptr || std::strstr(preload, "umockdev-preload") == nullptr) {
        std::fprintf(stderr, "usb_update_bench: run under umockdev-wrapper\n");
        return 2;
    }
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const std::vector<uint8_t> file = sim::make_image({});
    TempFile image(file);
    std::vector<unsigned char> data(0x5800, 0xFF);
    std::copy(file.begin(), file.begin() + std::min(file.size(), data.size()), data.begin());

    std::vector<double> tool, minimal;
    for (int i = 0; i < repeats; ++i) {
        {
            Bench b;
            RecordingDialog face;
            face.record_bar = false;
            UsbUpdatePipe pipe(UpdateUnit{"1-2", "", "usb-1-2"});
            FirmupProgramState state;
            const auto t0 = std::chrono::steady_clock::now();
            const bool done = ProgramFirmware(image.path(), 0x0104, face, pipe, state) == RunOutcome::Completed &&
                              CloseUpdateSession(face, pipe, state);
            tool.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
            if (!done || !b.updated()) {
                std::fprintf(stderr, "usb_update_bench: the tool's update did not complete\n");
                return 1;
            }
        }
        {
            Bench b;
            UsbContext usb;
            const MinimalResult r = MinimalUsbUpdate(usb.context(), data);
            minimal.push_back(r.ms);
            if (!r.ok) {
                std::fprintf(stderr, "usb_update_bench: the minimal update did not complete\n");
                return 1;
            }
        }
    }
    const double t = Median(tool), m = Median(minimal);
    const int transfers = 1 + 352 + 1408 + 1408 + 1;
    std::printf("One update 1.04 -> 1.05 over libusb and umockdev in one process (%d transfers, median of %d)\n",
                transfers, repeats);
    std::printf("  %-40s %8.0f ms  %6.0f exchanges/s\n", "tool run + check (UsbUpdatePipe)", t, transfers * 1000 / t);
    std::printf("  %-40s %8.0f ms  %6.0f exchanges/s\n", "minimal libusb client", m, transfers * 1000 / m);
    std::printf("  ratio tool / minimal: %.3f\n", t / m);
    return 0;
}
