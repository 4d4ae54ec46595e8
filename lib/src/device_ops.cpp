// Version, identity and mode operations: firmware and library version, hardware information,
// power, LED, mode changes with the slave-mode bookkeeping, and the switch into update mode.
#include <cstdint>

#include "brg40firmup.h"
#include "library_state.h"
#include "os.h"
#include "transport.h"

namespace brg40 {

namespace {

constexpr uint8_t kUnknownVersion = 0xFF;
constexpr int kModeTestBits = 7;
constexpr int kSlaveModeBit = 2;

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Reads blanks then hexadecimal digits from p up to `end`; false when no digit follows the blanks.
bool read_hex_field(const char* p, const char* end, uint8_t* value) {
    while (p < end && is_blank(*p)) {
        ++p;
    }
    uint32_t v = 0;
    int digits = 0;
    for (; p < end && hex_digit(*p) >= 0; ++p, ++digits) {
        v = (v << 4) | static_cast<uint32_t>(hex_digit(*p));  // wraps: only the low 8 bits count
    }
    *value = static_cast<uint8_t>(v);
    return digits > 0;
}

int32_t change_mode(Brg40Handle handle, int mode, uint16_t parameter, bool refuse_slave_only) {
    if ((mode & kModeTestBits) == kModeTestBits) {
        return BRG40_BAD_MODE;
    }
    if (refuse_slave_only && (mode & kModeTestBits) == kSlaveModeBit) {
        return BRG40_SLAVE_MODE_EX_ONLY;
    }
    const int32_t status =
        send_device_command(handle, CMD_MODE_CHANGE, static_cast<uint8_t>(mode), nullptr, 0, parameter);
    if (status != 0) {
        return status;
    }
    if (mode & kSlaveModeBit) {
        slave_mode_owner = handle;  // taken over from any earlier owner
        slave_mode_flag = 1;
    } else if (slave_mode_owner.load() == handle) {
        // Only the owner ends the slave mode; running workers see it at their next poll.
        slave_mode_flag = 0;
        slave_mode_owner = nullptr;
    }
    return BRG40_OK;
}

// Reads a version text such as "1, 1, 0, 0": the numbers before and after the first comma
// (leading blanks skipped), each hexadecimal and cut to 8 bits. Returns 0, or -400 (outputs
// untouched) when there is no comma or either number has no digit.
int32_t parse_version_text(const char* text, uint8_t* major, uint8_t* minor) {
    const char* comma = text;
    while (*comma != '\0' && *comma != ',') {
        ++comma;
    }
    if (*comma != ',') {
        return BRG40_DEVICE_ERROR;
    }
    const char* end = comma + 1;
    while (*end != '\0' && *end != ',') {
        ++end;
    }
    uint8_t hi = 0, lo = 0;
    if (!read_hex_field(text, comma, &hi) || !read_hex_field(comma + 1, end, &lo)) {
        return BRG40_DEVICE_ERROR;
    }
    *major = hi;
    *minor = lo;
    return BRG40_OK;
}

// Packs the 8-byte reply of the hardware-information command; bits keep their positions.
Brg40HwInfo pack_hw_info(const uint8_t (&reply)[8]) {
    Brg40HwInfo info{};
    info.flag2 = reply[0] & 0x02;
    info.flag1 = reply[0] & 0x01;
    info.word = static_cast<unsigned short>(reply[1] << 8 | reply[2]);  // sent high byte first
    info.bits6 = reply[6] & 0x06;
    return info;
}

}  // namespace

}  // namespace brg40

using namespace brg40;

extern "C" int brg40_power_control(Brg40Handle handle, unsigned char value) {
    // The converter always passes through power value 0 before the requested one.
    const int32_t status = send_device_command(handle, CMD_POWER_CONTROL, 0, nullptr, 0, 0);
    if (status != 0) {
        return status;
    }
    return send_device_command(handle, CMD_POWER_CONTROL, value, nullptr, 0, 0);
}

extern "C" int brg40_get_fw_version(Brg40Handle handle, unsigned char* major, unsigned char* minor) {
    if (major != nullptr) {
        *major = kUnknownVersion;
    }
    if (minor != nullptr) {
        *minor = kUnknownVersion;
    }
    alignas(kDataAlignment) uint8_t reply[4] = {};
    const int32_t status = send_device_command(handle, CMD_GET_FW_VERSION, 0, reply, 0, 0);
    if (status != 0) {
        return status;
    }
    // Reply bytes 0 and 1 carry nothing the library hands out.
    if (major != nullptr) {
        *major = reply[2];
    }
    if (minor != nullptr) {
        *minor = reply[3];
    }
    return BRG40_OK;
}

extern "C" int brg40_get_dll_version(Brg40Handle /*handle: no device needed*/,
                                     unsigned char* major,
                                     unsigned char* minor) {
    if (major != nullptr) {
        *major = kUnknownVersion;
    }
    if (minor != nullptr) {
        *minor = kUnknownVersion;
    }
    char text[64];
    if (!os_read_own_product_version(text, sizeof(text))) {
        return BRG40_DEVICE_ERROR;
    }
    uint8_t hi = 0, lo = 0;
    const int32_t status = parse_version_text(text, &hi, &lo);
    if (status != 0) {
        return status;
    }
    if (major != nullptr) {
        *major = hi;
    }
    if (minor != nullptr) {
        *minor = lo;
    }
    return BRG40_OK;
}

extern "C" int brg40_get_hw_info(Brg40Handle handle, Brg40HwInfo* info) {
    alignas(kDataAlignment) uint8_t reply[8] = {};
    const int32_t status = send_device_command(handle, CMD_GET_HW_INFO, 0, reply, 0, 0);
    if (status == 0 && info != nullptr) {
        *info = pack_hw_info(reply);
    }
    return status;
}

extern "C" int brg40_led_control(Brg40Handle handle, unsigned char value) {
    return send_device_command(handle, CMD_LED_CONTROL, value, nullptr, 0, 0);
}

extern "C" int brg40_mode_change(Brg40Handle handle, int mode, unsigned short parameter) {
    return change_mode(handle, mode, parameter, true);
}

extern "C" int brg40_mode_change_ex(Brg40Handle handle, int mode, unsigned short parameter) {
    return change_mode(handle, mode, parameter, false);
}

extern "C" int brg40_change_firmup_mode(Brg40Handle handle) {
    return send_device_command(handle, CMD_CHANGE_FIRMUP_MODE, 0, nullptr, 0, 0);
}
