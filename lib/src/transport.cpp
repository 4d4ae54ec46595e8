// The command transport: builds the zeroed pass-through block for one command, sends it through
// the OS seam and maps the outcome (Windows error or fixed-format sense data) to a status.
#include "transport.h"

#include <cstring>

#include "os.h"

namespace brg40 {

namespace {

constexpr uint8_t kTargetId = 1;
constexpr uint8_t kVendorCdbLength = 10;
constexpr uint8_t kInquiryCdbLength = 6;
constexpr uint8_t kInquiryCode = 0x12;
constexpr uint8_t kInquiryLength = 36;
constexpr uint8_t kShortTimeout = 5;  // seconds
constexpr uint8_t kLongTimeout = 10;  // EEPROM, debug registers and the switch to update mode

constexpr uint8_t kIn = kScsiDataIn;
constexpr uint8_t kOut = kScsiDataOut;

// clang-format off
const CommandLayout kCommands[] = {
    {CMD_GET_FW_VERSION, kIn, 4, kShortTimeout, 0},
    {CMD_LED_CONTROL, kOut, 0, kShortTimeout, kValueAt2},
    {CMD_POWER_CONTROL, kOut, 0, kShortTimeout, kValueAt2},
    {CMD_MODE_CHANGE, kOut, 0, kShortTimeout, kParameterAt2And3 | kValueAt4},
    {CMD_GET_HW_INFO, kIn, 8, kShortTimeout, 0},
    {CMD_GPO_WRITE, kOut, 0, kShortTimeout, kValueAt2},
    {CMD_GPO_READ, kIn, 4, kShortTimeout, 0},
    {CMD_I2C_PULLUP, kOut, 0, kShortTimeout, kValueAt2},
    {CMD_I2C_BUS_RESET, kOut, 0, kShortTimeout, 0},
    {CMD_I2C_SET_FREQ, kOut, 0, kShortTimeout, kParameterAt2And3},  // the speed in kHz, chosen by the caller
    {CMD_I2C_READ_MASTER, kIn, 0, kShortTimeout, kParameterAt2And3 | kValueAt4 | kLengthAt7And8},
    {CMD_I2C_WRITE_MASTER, kOut, 0, kShortTimeout, kParameterAt2And3 | kValueAt4 | kLengthAt7And8},
    {CMD_I2C_SLAVE_DATA, kIn, 0, kShortTimeout, kLengthAt7And8},
    {CMD_I2C_SET_RESPONSE, kOut, 0, kShortTimeout, kLengthAt7And8},
    {CMD_I2C_SLAVE_STATUS, kIn, 6, kShortTimeout, 0},
    {CMD_SPI_SET_FREQ, kOut, 0, kShortTimeout, kFrequencyAt2And3 | kValueAt4},
    {CMD_SPI_MASTER_SEND, kOut, 0, kShortTimeout, kValueAt2 | kLengthAt7And8},
    {CMD_SPI_MASTER_RECEIVE, kIn, 0, kShortTimeout, kLengthAt7And8},
    {CMD_SPI_SET_RESPONSE, kOut, 0, kShortTimeout, kLengthAt7And8},
    {CMD_SPI_SLAVE_DATA, kIn, 0, kShortTimeout, kLengthAt7And8},
    {CMD_SPI_SLAVE_STATUS, kIn, 6, kShortTimeout, 0},
    {CMD_EEPROM_READ, kIn, 0, kLongTimeout, kParameterLowAt5 | kLengthAt7And8},
    {CMD_EEPROM_WRITE, kOut, 0, kLongTimeout, kParameterLowAt5 | kLengthAt7And8},
    {CMD_DEBUG_PIC_READ, kIn, 2, kLongTimeout, kParameterLowAt2},
    {CMD_DEBUG_PIC_WRITE, kOut, 0, kLongTimeout, kParameterLowAt2 | kDataByteAt4},
    {CMD_CHANGE_FIRMUP_MODE, kOut, 0, kLongTimeout, 0},
};
// clang-format on

// The converter's error reports: sense key 3 with additional sense code 0x80; the qualifier
// names the error. Any other qualifier gives 3 (the sense key), any other sense data -400.
constexpr uint8_t kDeviceSenseKey = 3;
constexpr uint8_t kDeviceSenseCode = 0x80;
constexpr int32_t kOtherSense = BRG40_DEVICE_ERROR;
struct SenseRow {
    uint8_t qualifier;
    int32_t status;
};
const SenseRow kDeviceErrors[] = {
    {1, BRG40_DEVICE_ERROR_1}, {2, BRG40_DEVICE_ERROR_2}, {3, BRG40_DEVICE_ERROR_3},
    {4, BRG40_DEVICE_ERROR_4}, {5, BRG40_DEVICE_ERROR_5}, {6, BRG40_DEVICE_ERROR_6},
};

// What a request that failed without telling why reports: ERROR_GEN_FAILURE. A driver may fail
// DeviceIoControl and leave the last error at 0; that must never read as success.

// The request's outcome as one number: 0 when it succeeded, else its Windows error.
uint32_t pass_through(Brg40Handle handle, CommandBlock* block) {
    uint32_t error = 0;
    if (os_scsi_pass_through(handle, block, &error)) {
        return 0;
    }
    return error != 0 ? error : static_cast<uint32_t>(BRG40_ERROR_GEN_FAILURE);
}

void fill_common(CommandBlock* block, uint8_t cdb_length, uint8_t data_in, uint32_t timeout_s) {
    // Everything not set here stays zero: the driver leaves the sense area alone on success, so
    // a stale sense key would otherwise turn a good request into a failure.
    std::memset(block, 0, sizeof(*block));
    block->sptd.Length = sizeof(ScsiPassThroughDirect);
    block->sptd.TargetId = kTargetId;
    block->sptd.CdbLength = cdb_length;
    block->sptd.SenseInfoLength = kSenseInfoLength;
    block->sptd.DataIn = data_in;
    block->sptd.TimeOutValue = timeout_s;
    block->sptd.SenseInfoOffset = kSenseInfoOffset;
}

}  // namespace

const CommandLayout* command_layouts(size_t* count) {
    *count = sizeof(kCommands) / sizeof(kCommands[0]);
    return kCommands;
}

const CommandLayout* find_command_layout(uint8_t code) {
    for (const CommandLayout& row : kCommands) {
        if (row.code == code) {
            return &row;
        }
    }
    return nullptr;
}

int32_t map_command_result(uint32_t os_error, const uint8_t* sense) {
    const uint8_t key = sense[2] & 0x0F;
    if (key == 0) {
        // No sense data: either all went well or the request itself failed.
        return static_cast<int32_t>(os_error);
    }
    if (key == kDeviceSenseKey && sense[12] == kDeviceSenseCode) {
        for (const SenseRow& row : kDeviceErrors) {
            if (row.qualifier == sense[13]) {
                return row.status;
            }
        }
        return BRG40_DEVICE_DETAIL;
    }
    return kOtherSense;
}

int32_t send_device_command(Brg40Handle handle,
                            uint8_t code,
                            uint8_t value,
                            void* data,
                            uint16_t length,
                            uint16_t parameter) {
    const CommandLayout* row = find_command_layout(code);
    if (row == nullptr) {
        return BRG40_DEVICE_ERROR;  // the library never passes such a code
    }
    CommandBlock block;
    fill_common(&block, kVendorCdbLength, row->data_in, row->timeout_s);
    uint8_t* cdb = block.sptd.Cdb;
    cdb[0] = code;
    uint32_t transfer = row->fixed_bytes;
    if (row->fixed_bytes != 0) {
        cdb[8] = row->fixed_bytes;
    }
    const uint16_t f = row->fields;
    if (f & kLengthAt7And8) {
        // The converter moves data in 16-bit units: one byte travels as two.
        transfer = length == 1 ? 2 : length;
        cdb[7] = static_cast<uint8_t>(length >> 8);
        cdb[8] = static_cast<uint8_t>(length);
    }
    if (f & kValueAt2) {
        cdb[2] = value;
    }
    if (f & kParameterAt2And3) {
        cdb[2] = static_cast<uint8_t>(parameter >> 8);
        cdb[3] = static_cast<uint8_t>(parameter);
    }
    if (f & kValueAt4) {
        cdb[4] = value;
    }
    if (f & kFrequencyAt2And3) {
        cdb[2] = static_cast<uint8_t>(length >> 8);
        cdb[3] = static_cast<uint8_t>(length);
    }
    if (f & kParameterLowAt5) {
        cdb[5] = static_cast<uint8_t>(parameter);
    }
    if (f & kParameterLowAt2) {
        cdb[2] = static_cast<uint8_t>(parameter);
    }
    if ((f & kDataByteAt4) && data != nullptr) {
        cdb[4] = *static_cast<const uint8_t*>(data);
    }
    block.sptd.DataTransferLength = transfer;
    const bool moves_data = row->fixed_bytes != 0 || (f & kLengthAt7And8) != 0;
    block.sptd.DataBuffer = moves_data ? data : nullptr;  // direct: no copy of the caller's bytes

    const uint32_t os_error = pass_through(handle, &block);
    return map_command_result(os_error, block.sense);
}

int32_t send_inquiry(Brg40Handle handle, uint8_t (&data)[36]) {
    CommandBlock block;
    fill_common(&block, kInquiryCdbLength, kScsiDataIn, kShortTimeout);
    block.sptd.Cdb[0] = kInquiryCode;
    block.sptd.Cdb[4] = kInquiryLength;
    block.sptd.DataTransferLength = kInquiryLength;
    block.sptd.DataBuffer = data;
    const uint32_t os_error = pass_through(handle, &block);
    return map_command_result(os_error, block.sense);
}

}  // namespace brg40
