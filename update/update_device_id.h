// The converter in update mode as both systems know it: its USB vendor and product IDs, the
// hardware ID that Windows gives the update-mode driver, and how long one pipe transfer may take
// before it is given up.
#ifndef BRG40_UPDATE_DEVICE_ID_H
#define BRG40_UPDATE_DEVICE_ID_H

#include <cstdint>

constexpr uint16_t kUpdateVendorId = 0x1F3A;
constexpr uint16_t kUpdateProductId = 0x0C21;
// The same two IDs in the form of a Windows hardware ID (the .inf names the driver's devices so).
constexpr char kUpdateHardwareId[] = "USB\\VID_1F3A&PID_0C21";

// A loader that has not answered a transfer within this time is given up on.
constexpr unsigned kUpdateTransferTimeoutMs = 1000;

#endif
