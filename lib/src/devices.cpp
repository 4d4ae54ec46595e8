// Device search, opening and closing: brg40_open, brg40_open_ex, brg40_find_device, brg40_close
// and the single-open guard.
#include "devices.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "converter_identity.h"
#include "library_state.h"
#include "os.h"
#include "transport.h"
#include "unit_selector.h"

namespace brg40 {

namespace {

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
    if (std::strstr(vendor, kConverterVendor) == nullptr) {
        return false;
    }
    for (const char* name : kConverterProducts) {
        if (std::strstr(product, name) != nullptr) {
            return true;
        }
    }
    return false;
}

namespace {

// Opens `name`, asks who it is and closes it again. True for a converter; error gets the open's
// Windows error (0 when it opened).
bool names_a_converter(const char* name, uint32_t* error) {
    *error = 0;
    const OsHandle handle = os_open_device(name, error);
    if (handle == nullptr) {
        return false;  // absent, or held open elsewhere (exclusive open)
    }
    alignas(kDataAlignment) uint8_t inquiry[36] = {};
    const bool converter = send_inquiry(handle, inquiry) == 0 && is_converter_identity(inquiry);
    os_close_device(handle);
    return converter;
}

// The Windows error of opening name now (0: it opens), the handle closed again.
uint32_t open_error(const char* name) {
    uint32_t error = 0;
    const OsHandle handle = os_open_device(name, &error);
    if (handle != nullptr) {
        os_close_device(handle);
        return 0;
    }
    return error != 0 ? error : static_cast<uint32_t>(BRG40_ERROR_GEN_FAILURE);
}

bool held_or_denied(uint32_t error) {
    return error == BRG40_ERROR_SHARING_VIOLATION || error == BRG40_ERROR_ACCESS_DENIED;
}

// The converters present now, in number order. A system that describes its converters (Linux)
// numbers them by rank, whether they open or not, and asks none of them anything. Elsewhere
// (Windows) candidate n is number n: each that opens is asked INQUIRY and closed again; one held
// elsewhere or denied cannot be asked and is listed with that error (opened: false leaves them out).
struct Present {
    int number;
    uint32_t error;  // of the open tried now; 0: it opened
    OsUnit unit;     // node, and what the system says of it (described systems)
};
int present_units(Present (&out)[kMaxDevices], bool include_unopened) {
    OsUnit described[kMaxDevices];
    const int n = os_described_units(described, kMaxDevices);
    int count = 0;
    if (n >= 0) {
        for (int i = 0; i < n; ++i) {
            const uint32_t error = open_error(described[i].node);
            if (error == 0 || include_unopened) {
                out[count++] = Present{i + kFirstDeviceNumber, error, described[i]};
            }
        }
        return count;
    }
    char name[sizeof(OsUnit::node)];
    for (int index = 0; count < kMaxDevices && os_device_candidate(index, name, sizeof(name)); ++index) {
        uint32_t error = 0;
        const bool converter = names_a_converter(name, &error);
        if (converter || (include_unopened && held_or_denied(error))) {
            Present p{index + kFirstDeviceNumber, converter ? 0 : error, OsUnit{}};
            os_device_by_number(p.number, p.unit.node, sizeof(p.unit.node));
            out[count++] = p;
        }
    }
    return count;
}

// Opens unit (a snapshot entry of a described system) and makes sure the node still is that unit.
uint32_t open_described(const OsUnit& unit, Brg40Handle* handle) {
    uint32_t error = 0;
    *handle = os_open_device(unit.node, &error);
    if (*handle == nullptr) {
        return error != 0 ? error : static_cast<uint32_t>(BRG40_ERROR_GEN_FAILURE);
    }
    if (!os_same_unit(unit)) {
        os_close_device(*handle);  // the node now belongs to another device: never that one
        *handle = nullptr;
        return BRG40_ERROR_FILE_NOT_FOUND;
    }
    return 0;
}

}  // namespace

int search_devices(int32_t (&numbers)[kMaxDevices]) {
    Present present[kMaxDevices];
    const int count = present_units(present, false);
    for (int i = 0; i < count; ++i) {
        numbers[i] = present[i].number;
    }
    return count;
}

uint32_t open_device_by_index(int number, Brg40Handle* handle) {
    char name[64];
    uint32_t error = 0;
    if (os_device_by_number(number, name, sizeof(name))) {
        *handle = os_open_device(name, &error);
        return *handle == nullptr ? error : 0;
    }
    // Numbered by rank: exactly the number-th converter the system describes, or nothing.
    *handle = nullptr;
    OsUnit described[kMaxDevices];
    const int n = os_described_units(described, kMaxDevices);
    if (number < kFirstDeviceNumber || number > n) {
        return BRG40_ERROR_FILE_NOT_FOUND;
    }
    return open_described(described[number - kFirstDeviceNumber], handle);
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

extern "C" int brg40_list_devices(Brg40DeviceInfo* devices, int capacity, int* count) {
    Present present[kMaxDevices];
    const int n = present_units(present, true);
    if (count != nullptr) {
        *count = n;
    }
    for (int i = 0; devices != nullptr && i < n && i < capacity; ++i) {
        Brg40DeviceInfo& info = devices[i];
        std::memset(&info, 0, sizeof info);
        info.number = present[i].number;
        info.open_status = static_cast<int>(present[i].error);
        std::snprintf(info.node, sizeof info.node, "%s", present[i].unit.node);
        std::snprintf(info.serial, sizeof info.serial, "%s", present[i].unit.serial);
        std::snprintf(info.path, sizeof info.path, "%s", present[i].unit.path);
    }
    return n == 0 ? BRG40_NO_DEVICE : BRG40_OK;
}

extern "C" Brg40Handle brg40_open_device(const char* selector, int* status) {
    int dummy = 0;
    int* out = status != nullptr ? status : &dummy;
    UnitSelector wanted;
    if (selector == nullptr || !parse_unit_selector(selector, wanted)) {
        *out = BRG40_ERROR_INVALID_PARAMETER;
        return nullptr;
    }
    char resolved[sizeof(OsUnit::node)];
    if (wanted.kind == UnitSelector::Node) {
        if (!os_resolve_node(selector, resolved, sizeof resolved)) {
            *out = BRG40_NO_DEVICE;  // no such node
            return nullptr;
        }
        wanted.value = resolved;
    }
    Present present[kMaxDevices];
    const int n = present_units(present, true);
    const Present* chosen = nullptr;
    for (int i = 0; i < n; ++i) {
        const UnitName name{present[i].number, present[i].unit.node, present[i].unit.serial, present[i].unit.path};
        if (selector_names(wanted, name)) {
            if (chosen != nullptr) {
                *out = BRG40_AMBIGUOUS;
                return nullptr;
            }
            chosen = &present[i];
        }
    }
    Brg40Handle handle = nullptr;
    const bool opened =
        chosen != nullptr && (chosen->unit.device[0] != '\0' ? open_described(chosen->unit, &handle) == 0
                                                             : open_device_by_index(chosen->number, &handle) == 0);
    *out = opened ? BRG40_OK : BRG40_NO_DEVICE;
    return opened ? handle : nullptr;
}

extern "C" int brg40_close(Brg40Handle handle) {
    if (handle != nullptr && handle != kInvalidHandle) {
        os_close_device(handle);
    }
    device_open_flag = 0;  // whatever handle was given
    return BRG40_OK;
}
