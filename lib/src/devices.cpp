// Device search, opening and closing: brg40_open, brg40_open_ex, brg40_find_device, brg40_close
// and the single-open guard.
#include "devices.h"

#include <cstdio>
#include <cstring>

#include "library_state.h"
#include "os.h"
#include "transport.h"

namespace brg40 {

namespace {

const char kVendor[] = "ZEVAK";
const char* const kProducts[] = {"USB-SPI/I2C Cnv.", "NKV-BRG40M"};  // both generations of the product

// INQUIRY data fields (standard layout).
constexpr size_t kVendorOffset = 8;
constexpr size_t kVendorSize = 8;
constexpr size_t kProductOffset = 16;
constexpr size_t kProductSize = 16;

// INVALID_HANDLE_VALUE: brg40_close skips it as it skips null.
const Brg40Handle kInvalidHandle = reinterpret_cast<Brg40Handle>(static_cast<intptr_t>(-1));

}  // namespace

bool is_converter_identity(const uint8_t (&inquiry)[36]) {
    // Each field as a string ending after the field, so a substring never runs into the next one.
    char vendor[kVendorSize + 1] = {};
    char product[kProductSize + 1] = {};
    std::memcpy(vendor, &inquiry[kVendorOffset], kVendorSize);
    std::memcpy(product, &inquiry[kProductOffset], kProductSize);
    if (std::strstr(vendor, kVendor) == nullptr) {
        return false;
    }
    for (const char* name : kProducts) {
        if (std::strstr(product, name) != nullptr) {
            return true;
        }
    }
    return false;
}

int search_devices(int32_t (&numbers)[kMaxDevices]) {
    int count = 0;
    for (int n = kFirstDeviceNumber; n <= kLastDeviceNumber; ++n) {
        char name[16];
        std::snprintf(name, sizeof(name), "\\\\.\\LPT%d", n);
        uint32_t error = 0;
        const OsHandle handle = os_open_device(name, &error);
        if (handle == nullptr) {
            continue;  // absent, or held open elsewhere (share mode 0)
        }
        alignas(kDataAlignment) uint8_t inquiry[36] = {};
        if (send_inquiry(handle, inquiry) == 0 && is_converter_identity(inquiry)) {
            numbers[count++] = n;
        }
        os_close_device(handle);
    }
    return count;
}

uint32_t open_device_by_index(int number, Brg40Handle* handle) {
    char name[24];
    std::snprintf(name, sizeof(name), "LPT%d", number);  // the DOS name rules map it to \\.\LPTn
    uint32_t error = 0;
    *handle = os_open_device(name, &error);
    return *handle == nullptr ? error : 0;
}

}  // namespace brg40

using namespace brg40;

extern "C" Brg40Handle brg40_open(int* status) {
    int dummy = 0;
    int* out = status != nullptr ? status : &dummy;
    if (device_open_flag == 1) {
        *out = BRG40_ALREADY_OPEN;
        return nullptr;
    }
    int32_t numbers[kMaxDevices] = {};
    if (search_devices(numbers) == 0) {
        *out = BRG40_NO_DEVICE;
        return nullptr;
    }
    Brg40Handle handle = nullptr;
    if (open_device_by_index(numbers[0], &handle) != 0) {
        *out = BRG40_NO_DEVICE;  // the Windows error is not passed on
        return nullptr;
    }
    *out = BRG40_OK;
    device_open_flag = 1;
    return handle;
}

extern "C" Brg40Handle brg40_open_ex(int number, int* status) {
    int dummy = 0;
    int* out = status != nullptr ? status : &dummy;
    // Only LPT1 to LPT9 are device names: "LPT10", "LPT0" or "LPT-1" would open an ordinary
    // file of that name in the current folder and send it a pass-through request.
    Brg40Handle handle = nullptr;
    if (number < kFirstDeviceNumber || number > kLastDeviceNumber || open_device_by_index(number, &handle) != 0) {
        *out = BRG40_NO_DEVICE;
        return nullptr;
    }
    *out = BRG40_OK;
    return handle;
}

extern "C" int brg40_find_device(int* count, int* numbers) {
    int32_t found[kMaxDevices] = {};
    const int n = search_devices(found);
    if (n == 0) {
        return BRG40_NO_DEVICE;
    }
    if (count != nullptr) {
        *count = n;
    }
    if (numbers != nullptr) {
        for (int i = 0; i < n; ++i) {
            numbers[i] = found[i];
        }
    }
    return BRG40_OK;
}

extern "C" int brg40_close(Brg40Handle handle) {
    if (handle != nullptr && handle != kInvalidHandle) {
        os_close_device(handle);
    }
    device_open_flag = 0;  // whatever handle was given
    return BRG40_OK;
}
