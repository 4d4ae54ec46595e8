// Device search and opening: the converters among the system's candidate devices (os.h), numbered
// 1 to 9 by position (Windows: LPTn) or by rank (Linux: in /dev/sgN order).
#ifndef BRG40_DEVICES_H
#define BRG40_DEVICES_H

#include <cstdint>

#include "brg40firmup.h"

namespace brg40 {

constexpr int kFirstDeviceNumber = 1;
constexpr int kLastDeviceNumber = 9;
constexpr int kMaxDevices = kLastDeviceNumber - kFirstDeviceNumber + 1;

// Opens and INQUIREs the candidates in turn, closing each again, and writes the numbers of the
// converters ascending into numbers (room for 9). Returns how many answered (0: none).
int search_devices(int32_t (&numbers)[kMaxDevices]);

// Opens device `number`: by position the name "LPT<number>" as it is; by rank the number-th
// converter of a search. Returns 0 and the handle in *handle, or the Windows error of the open
// (2 when no such converter was found; then *handle is null).
uint32_t open_device_by_index(int number, Brg40Handle* handle);

// True when the INQUIRY data name a converter (vendor and product identification fields).
bool is_converter_identity(const uint8_t (&inquiry)[36]);

}  // namespace brg40

#endif
