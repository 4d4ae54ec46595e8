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

// One converter in update mode, as brg40 names and follows it.
struct UpdateUnit {
    // Where it is: on Linux its USB port path ("1-2.3"), which it keeps in both modes; on Windows
    // its device-interface path.
    std::string path;
    // The serial its update-mode device reports; "" when none (Windows: the instance part of the
    // path when that is a serial, not a name Windows made from the port).
    std::string serial;
    // The name its pipe reports (UpdatePipe::DeviceId) and its preserved-block copy is kept
    // under: from the serial when there is one, else from where it is.
    std::string key;
};

// The two pipes of unit's update-mode device, opened at the first transfer and kept open for all
// that follow; a transfer that fails closes both, and the next transfer opens them again on the
// same device, never on another (one with another serial at the same place included). Write and
// Read keep the contract of UpdatePipe (-1: could not be opened).
std::unique_ptr<UpdatePipe> MakeUpdateLink(const UpdateUnit& unit);

// Where the device's preserved block is kept between commands, per device, until its update
// session has been closed (the program-data folder on Windows, the state folder on Linux).
std::unique_ptr<PreservedStore> MakePreservedStore();

// The update-mode devices present now.
std::vector<UpdateUnit> ListUpdateUnits();

// Looks at the update-mode devices present until done(them) says so (true), the time is up or
// stop() is true (false). Looks at least every 100 ms: as the system reports an arrival where it
// can (Linux: libusb's hot-plug events), else by listing again.
bool WaitForUpdateUnits(double seconds,
                        const std::function<bool()>& stop,
                        const std::function<bool(const std::vector<UpdateUnit>&)>& done);

// Installs the update-mode driver from the setup information file beside the program. NotBeside,
// with nothing attempted, when no such file is there, and always on Linux (no driver is needed);
// Denied when the installation was refused for want of administrator rights.
enum class DriverInstall { NotBeside, Attempted, Denied };
DriverInstall InstallUpdateDriverIfBeside();

// The diagnostic lines of the device routines: on stderr when shown (--trace), else dropped.
void ShowDeviceDiagnostics(bool shown);

#endif
