// Device search, opening and closing: brg40_open, brg40_open_ex, brg40_find_device, brg40_close
// and the single-open guard.
#include "devices.h"

#include <cstring>
#include <string>

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

// What opening an absent number reports, as the Windows open of a missing LPTn does.

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

namespace {

// Opens `name`, asks who it is and closes it again. True for a converter.
bool names_a_converter(const char* name) {
    uint32_t error = 0;
    const OsHandle handle = os_open_device(name, &error);
    if (handle == nullptr) {
        return false;  // absent, or held open elsewhere (exclusive open)
    }
    alignas(kDataAlignment) uint8_t inquiry[36] = {};
    const bool converter = send_inquiry(handle, inquiry) == 0 && is_converter_identity(inquiry);
    os_close_device(handle);
    return converter;
}

// The candidates in the system's order, each opened, INQUIREd and closed again; calls
// found(index, name) for each converter until it returns false or all were tried.
template <class Found>
void walk_converters(Found&& found) {
    char name[64];
    for (int index = 0; os_device_candidate(index, name, sizeof(name)); ++index) {
        if (names_a_converter(name) && !found(index, name)) {
            return;
        }
    }
}

}  // namespace

int search_devices(int32_t (&numbers)[kMaxDevices]) {
    char unused[64];
    const bool positions = os_device_by_number(kFirstDeviceNumber, unused, sizeof(unused));
    int count = 0;
    walk_converters([&](int index, const char*) {
        // A position is the candidate's own number (LPTn); a rank counts the converters only.
        numbers[count] = positions ? index + kFirstDeviceNumber : count + kFirstDeviceNumber;
        ++count;
        return count < kMaxDevices;
    });
    return count;
}

uint32_t open_device_by_index(int number, Brg40Handle* handle) {
    char name[64];
    uint32_t error = 0;
    if (os_device_by_number(number, name, sizeof(name))) {
        *handle = os_open_device(name, &error);
        return *handle == nullptr ? error : 0;
    }
    // Numbered by rank: the number-th converter of the search, so that a disk or any other
    // device never receives more than an INQUIRY.
    std::string chosen;
    int rank = 0;
    walk_converters([&](int, const char* candidate) {
        if (++rank == number) {
            chosen = candidate;
            return false;
        }
        return true;
    });
    *handle = nullptr;
    if (chosen.empty()) {
        return BRG40_ERROR_FILE_NOT_FOUND;
    }
    *handle = os_open_device(chosen.c_str(), &error);
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
    // file of that name in the current folder and send it a pass-through request. Where numbers
    // are ranks (Linux), nine converters at most are counted as well.
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
