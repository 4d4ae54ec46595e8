// Building the names the update-mode device routines hand to the platform: the full pipe name, the
// path of the setup information file beside the program, the hardware-ID list. No platform calls.
#ifndef BRG40_DEVICE_NAMES_H
#define BRG40_DEVICE_NAMES_H

#include <cstddef>
#include <string>

#include "update_device_id.h"

// Capacity of completeDeviceName: at most 255 characters and the terminating zero.
constexpr size_t kDeviceNameSize = 256;
// Capacity of the setup information path and of the hardware-ID list.
constexpr size_t kInstallPathSize = 260;
constexpr size_t kHardwareIdListSize = 260;

extern const char kUpdateInfFileName[];  // "brg40fup.inf"

// Copies path into name (capacity size), cut to size - 1 characters when longer. A cut path is
// exactly size - 1 long, so AppendPipeName refuses it.
void CopyInterfacePath(char* name, size_t size, const char* path);

// Appends "\" and pipeName to the interface path in name. False, with name unchanged, when the
// result would be longer than size - 1 characters.
bool AppendPipeName(char* name, size_t size, const char* pipeName);

// The device-instance part of an interface path, lower case: "\\?\usb#vid_1f3a&pid_0c21#5&1a2b#{guid}"
// (possibly followed by "\PIPE01") gives "usb#vid_1f3a&pid_0c21#5&1a2b". It names the device, not
// the interface or the pipe, and stays the same while the device sits on the same port or keeps
// its serial number. Empty when the path has no such part.
std::string DeviceInstanceOfPath(const char* path);

// The serial in a device instance ID: its last part ("USB\VID_1F3A&PID_0C21\SIM0003" gives
// "SIM0003"), or "" when that part is a name Windows made from the device's place because it
// reports no serial (such names hold "&": "5&1A2B3C&0&2").
std::string SerialOfInstanceId(const std::string& instanceId);

// Zero-fills infPath (capacity size) and writes the drive and directory of programPath followed by
// "brg40fup.inf". False, with infPath left all zeros, when programPath is empty or the result does
// not fit.
bool MakeInfPath(const char* programPath, char* infPath, size_t size);

// Zero-fills ids (capacity size) and copies the hardware ID with its zero; the fill gives the second
// zero that ends the multi-string list.
void MakeHardwareIdList(char* ids, size_t size);

#endif
