// The converter in update mode on the USB bus, found through libusb: its identity, the name that
// stays with it across its update sessions, and the wait for it to appear.
#ifndef BRG40_USB_UPDATE_DEVICE_H
#define BRG40_USB_UPDATE_DEVICE_H

#include <libusb.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "update_device_id.h"

constexpr int kUpdateInterface = 0;

// A libusb context for the lifetime of the object; context() is null when libusb could not start.
class UsbContext {
public:
    UsbContext();
    ~UsbContext();
    UsbContext(const UsbContext&) = delete;
    UsbContext& operator=(const UsbContext&) = delete;
    libusb_context* context() const { return m_context; }

private:
    libusb_context* m_context = nullptr;
};

// True when device is the converter in update mode (its vendor and product IDs).
bool IsUpdateDevice(libusb_device* device);

// The name of a device: "usb-<bus>-<port>[.<port>...]", the bus number and the path of hub ports
// it hangs from, as the kernel names it in sysfs. The converter gets a new address each time it
// changes mode, but stays on the same port, so the name stays across its update sessions and two
// converters never share it. "usb-<bus>-0" for a device whose ports cannot be read.
std::string UsbDeviceName(libusb_device* device);

// The names of the update-mode devices present now.
std::vector<std::string> ListUsbUpdateDevices(libusb_context* context);

// Waits until an update-mode device is present (true), the time is up or stop() is true, looking
// at least every 100 ms. With hot-plug support the arrival is seen as the kernel reports it;
// without, the device list is read again each time.
bool WaitForUsbUpdateDevice(libusb_context* context, double seconds, const std::function<bool()>& stop);

// Where the diagnostic lines of these routines go (the failed libusb call and its error name);
// null, the start: nowhere.
void SetUsbDiagnostics(std::FILE* stream);
// One diagnostic line: "<call>: <libusb error name>".
void UsbDiagnostic(const char* call, int error);

#endif
