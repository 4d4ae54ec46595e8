// Installing the update-mode driver ahead of the converter's switch into firmware-update mode.
#ifndef BRG40_DRIVER_INSTALL_H
#define BRG40_DRIVER_INSTALL_H

#include <windows.h>

// Installs the driver of the setup information file infPath for the devices of hardwareIds (a
// multi-string list) by registering a temporary device node with those IDs, updating its driver and
// removing the node again. True when the thread's last-error code is zero after the last step taken;
// that code is left in place. Shows and prints nothing.
BOOL InstallUpdateDriver(const char* hardwareIds, const char* infPath, BOOL* rebootRequired);

// The main window's start-up step: installs "brg40fup.inf" from the running program's own directory
// for "USB\VID_1F3A&PID_0C21". Skips the installation when that path does not fit in 260 characters.
// Silent: returns the Windows error of the attempt (0: installed, or nothing to install from); the
// dialog goes on whatever it is, brg40 tells a missing elevation (5).
DWORD InstallUpdateDriverBesideProgram();

#endif
