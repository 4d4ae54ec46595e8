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
#include "update_link.h"

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

// Where a device is: "<bus>-<port>[.<port>...]", the bus number and the path of hub ports it
// hangs from, as the kernel names it in sysfs. The converter gets a new address each time it
// changes mode but stays on the same port, so the path stays across its modes and update sessions
// and two converters never share it. "<bus>-0" for a device whose ports cannot be read.
std::string UsbPortPath(libusb_device* device);

// The serial of the device at portPath, as sysfs gives it; "" when it reports none.
std::string UsbSerial(const std::string& portPath);

// The unit an update-mode device is: its port path, serial and key ("serial-<S>" when it
// reports a serial, else "usb-<path>").
UpdateUnit UsbUpdateUnit(libusb_device* device);

// The update-mode devices present now.
std::vector<UpdateUnit> ListUsbUpdateUnits(libusb_context* context);

// Waits until done(the update-mode devices present) is true (true), the time is up or stop() is
// true (false), looking at least every 100 ms. With hot-plug support an arrival is seen as the
// kernel reports it; without, the device list is read again each time.
bool WaitForUsbUpdateUnits(libusb_context* context,
                           double seconds,
                           const std::function<bool()>& stop,
                           const std::function<bool(const std::vector<UpdateUnit>&)>& done);

// Where the diagnostic lines of these routines go (the failed libusb call and its error name);
// null, the start: nowhere.
void SetUsbDiagnostics(std::FILE* stream);
// One diagnostic line: "<call>: <libusb error name>".
void UsbDiagnostic(const char* call, int error);

#endif
