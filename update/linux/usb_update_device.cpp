// Finding the update-mode converter on the USB bus, naming it, and waiting for it.
#include "usb_update_device.h"

#include <cctype>
#include <chrono>
#include <thread>

namespace {

std::FILE* diagnostics = nullptr;

struct Arrival {
    bool seen = false;
};

int OnArrival(libusb_context*, libusb_device*, libusb_hotplug_event, void* user) {
    static_cast<Arrival*>(user)->seen = true;
    return 0;  // stay registered: the wait deregisters when it ends
}

}  // namespace

UsbContext::UsbContext() {
    const int result = libusb_init(&m_context);
    if (result != LIBUSB_SUCCESS) {
        UsbDiagnostic("libusb_init", result);
        m_context = nullptr;
    }
}

UsbContext::~UsbContext() {
    if (m_context != nullptr) {
        libusb_exit(m_context);
    }
}

bool IsUpdateDevice(libusb_device* device) {
    libusb_device_descriptor descriptor = {};
    return libusb_get_device_descriptor(device, &descriptor) == LIBUSB_SUCCESS &&
           descriptor.idVendor == kUpdateVendorId && descriptor.idProduct == kUpdateProductId;
}

std::string UsbPortPath(libusb_device* device) {
    uint8_t ports[8];  // the USB limit: 7 tiers of hubs below the root
    const int count = libusb_get_port_numbers(device, ports, sizeof(ports));
    std::string path = std::to_string(libusb_get_bus_number(device)) + "-";
    if (count <= 0) {
        return path + "0";
    }
    for (int i = 0; i < count; ++i) {
        path += (i ? "." : "") + std::to_string(ports[i]);
    }
    return path;
}

std::string UsbSerial(const std::string& portPath) {
    std::string serial;
    if (std::FILE* f = std::fopen(("/sys/bus/usb/devices/" + portPath + "/serial").c_str(), "r")) {
        char line[256];
        if (std::fgets(line, sizeof line, f) != nullptr) {
            serial = line;
        }
        std::fclose(f);
    }
    while (!serial.empty() && std::isspace(static_cast<unsigned char>(serial.back()))) {
        serial.pop_back();
    }
    return serial;
}

UpdateUnit UsbUpdateUnit(libusb_device* device) {
    UpdateUnit unit;
    unit.path = UsbPortPath(device);
    unit.serial = UsbSerial(unit.path);
    unit.key = unit.serial.empty() ? "usb-" + unit.path : "serial-" + unit.serial;
    return unit;
}

std::vector<UpdateUnit> ListUsbUpdateUnits(libusb_context* context) {
    std::vector<UpdateUnit> units;
    libusb_device** list = nullptr;
    const ssize_t count = context != nullptr ? libusb_get_device_list(context, &list) : 0;
    for (ssize_t i = 0; i < count; ++i) {
        if (IsUpdateDevice(list[i])) {
            units.push_back(UsbUpdateUnit(list[i]));
        }
    }
    if (list != nullptr) {
        libusb_free_device_list(list, 1);
    }
    return units;
}

bool WaitForUsbUpdateUnits(libusb_context* context,
                           double seconds,
                           const std::function<bool()>& stop,
                           const std::function<bool(const std::vector<UpdateUnit>&)>& done) {
    if (context == nullptr) {
        return false;
    }
    const auto limit = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    Arrival arrival;
    libusb_hotplug_callback_handle callback = 0;
    const bool hotplug =
        libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG) &&
        libusb_hotplug_register_callback(context, LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED, LIBUSB_HOTPLUG_ENUMERATE,
                                         kUpdateVendorId, kUpdateProductId, LIBUSB_HOTPLUG_MATCH_ANY, OnArrival,
                                         &arrival, &callback) == LIBUSB_SUCCESS;
    bool found = false;
    for (;;) {
        if (hotplug) {
            timeval step = {0, 100 * 1000};
            libusb_handle_events_timeout_completed(context, &step, nullptr);
        }
        // The list is the truth: an arrival seen may have left again, and without hot-plug it is
        // all there is.
        if ((arrival.seen || !hotplug) && done(ListUsbUpdateUnits(context))) {
            found = true;
            break;
        }
        arrival.seen = false;
        if (stop() || std::chrono::steady_clock::now() >= limit) {
            break;
        }
        if (!hotplug) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    if (hotplug) {
        libusb_hotplug_deregister_callback(context, callback);
    }
    return found;
}

void SetUsbDiagnostics(std::FILE* stream) {
    diagnostics = stream;
}

void UsbDiagnostic(const char* call, int error) {
    if (diagnostics != nullptr) {
        std::fprintf(diagnostics, "%s: %s\n", call, libusb_error_name(error));
    }
}
