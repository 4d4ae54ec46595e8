// The update-mode seam on Linux: the converter in update mode through libusb (usbfs), its
// preserved block in the state folder. No driver is installed: usbfs serves any device, and the
// udev rule of the package gives the user access to it.
#include "update_link.h"

#include "state_dir_store.h"
#include "usb_update_device.h"
#include "usb_update_pipe.h"

std::unique_ptr<UpdatePipe> MakeUpdateLink(const UpdateUnit& unit) {
    return std::unique_ptr<UpdatePipe>(new UsbUpdatePipe(unit));
}

std::unique_ptr<PreservedStore> MakePreservedStore() {
    return std::unique_ptr<PreservedStore>(new StateDirStore);
}

std::vector<UpdateUnit> ListUpdateUnits() {
    UsbContext usb;
    return ListUsbUpdateUnits(usb.context());
}

bool WaitForUpdateUnits(double seconds,
                        const std::function<bool()>& stop,
                        const std::function<bool(const std::vector<UpdateUnit>&)>& done) {
    UsbContext usb;
    return WaitForUsbUpdateUnits(usb.context(), seconds, stop, done);
}

DriverInstall InstallUpdateDriverIfBeside() {
    return DriverInstall::NotBeside;  // nothing to install, nothing attempted
}

void ShowDeviceDiagnostics(bool shown) {
    SetUsbDiagnostics(shown ? stderr : nullptr);
}
