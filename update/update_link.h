// The seam to the converter in update mode. One implementation per platform, chosen by the build
// (windows/update_link_win32.cpp: the update-mode device routines; linux/update_link_linux.cpp:
// libusb). Called from the main thread only.
#ifndef BRG40_UPDATE_LINK_H
#define BRG40_UPDATE_LINK_H

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "preserved_store.h"
#include "update_pipe.h"

// The two pipes of the update-mode device, opened at the first transfer and kept open for all
// that follow; a transfer that fails closes both, and the next transfer finds the device and
// opens them again. Write and Read keep the contract of UpdatePipe (-1: could not be opened).
std::unique_ptr<UpdatePipe> MakeUpdateLink();

// Where the device's preserved block is kept between commands, per device, until its update
// session has been closed (the program-data folder on Windows, the state folder on Linux).
std::unique_ptr<PreservedStore> MakePreservedStore();

// The update-mode devices present: the interface path on Windows, the USB device name
// ("usb-<bus>-<ports>") on Linux; empty when none answers.
std::vector<std::string> ListUpdateDevices();

// Polls every 100 ms until an update-mode device answers (true), the time is up or stop() is true.
bool WaitForUpdateDevice(double seconds, const std::function<bool()>& stop);

// Installs the update-mode driver from the setup information file beside the program. False,
// with nothing attempted, when no such file is there, and always on Linux (no driver is needed).
bool InstallUpdateDriverIfBeside();

// The diagnostic lines of the device routines: on stderr when shown (--trace), else dropped.
void ShowDeviceDiagnostics(bool shown);

#endif
