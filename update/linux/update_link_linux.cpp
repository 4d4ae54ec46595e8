// The update-mode seam on Linux: the converter in update mode through libusb (usbfs), its
// preserved block in the state folder. No driver is installed: usbfs serves any device, and the
// udev rule of the package gives the user access to it.
#include "update_link.h"

#include "state_dir_store.h"
#include "usb_update_device.h"
#include "usb_update_pipe.h"

std::unique_ptr<UpdatePipe> MakeUpdateLink() {
    return std::unique_ptr<UpdatePipe>(new UsbUpdatePipe);
}

std::unique_ptr<PreservedStore> MakePreservedStore() {
    return std::unique_ptr<PreservedStore>(new StateDirStore);
}

std::vector<std::string> ListUpdateDevices() {
    UsbContext usb;
    return ListUsbUpdateDevices(usb.context());
}

bool WaitForUpdateDevice(double seconds, const std::function<bool()>& stop) {
    UsbContext usb;
    return WaitForUsbUpdateDevice(usb.context(), seconds, stop);
}

bool InstallUpdateDriverIfBeside() {
    return false;  // nothing to install, nothing attempted
}

void ShowDeviceDiagnostics(bool shown) {
    SetUsbDiagnostics(shown ? stderr : nullptr);
}
