// The simulated converter: one device with a normal-mode face (SCSI vendor commands, as the
// library sees it through its kernel driver) and an update-mode face (the loader's two pipes).
#ifndef BRG40_SIM_CONVERTER_H
#define BRG40_SIM_CONVERTER_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "flash.h"
#include "i2c_memory.h"
#include "loader.h"
#include "scsi.h"
#include "spi_flash.h"

namespace sim {

struct Identity {
    std::string vendor = "ZEVAK";
    std::string product = "NKV-BRG40M";
    std::string revision = "1.00";
};

enum class Mode { Normal, Update };

// Where the converter sits on the USB bus, and the serial number it reports. It keeps its port in
// both modes; in update mode it re-enumerates as another device, which may or may not report the
// serial again.
struct UsbIdentity {
    std::string serial;               // empty: the device reports none
    std::string port;                 // "<bus>-<port>", as sysfs names the USB device
    bool update_keeps_serial = true;  // the update-mode device reports the same serial
};

// One command received by the normal-mode face.
struct CommandRecord {
    ScsiRequest request;            // data pointer: the caller's address, not to be dereferenced later
    std::vector<uint8_t> data_out;  // bytes the host sent (direction out with data)
    std::vector<uint8_t> data_in;   // bytes the converter handed back (direction in, when carried out)
    ScsiReply reply;
};

// Fixed-format sense data with this key, additional sense code and qualifier.
ScsiReply sense_reply(uint8_t key, uint8_t asc, uint8_t ascq);
// A request that fails with this Windows error and no sense data.
ScsiReply failed_reply(uint32_t os_error);

class Converter {
public:
    // A converter in normal mode whose flash holds an intact image of version major.minor and
    // whose preserved block holds a value made from `serial`.
    explicit Converter(Identity identity = {}, uint8_t major = 1, uint8_t minor = 4, uint32_t serial = 1);
    // The loader keeps a reference into this object: neither copied nor moved.
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Normal-mode face. Every request is checked against the command table (CDB layout,
    // direction, transfer length, time-out, data pointer); a malformed one fails with
    // ERROR_INVALID_PARAMETER and is noted in protocol_errors() with hex dumps.
    // In update mode or unplugged, every request fails with ERROR_GEN_FAILURE.
    // A request whose block was not zeroed (block_was_clean false) is malformed too.
    // Not thread-safe: bridges serialise calls.
    ScsiReply scsi(const ScsiRequest& request);

    // Update-mode face (PIPE00 / PIPE01). Ignored, and reading 0 bytes, unless in update mode
    // and plugged in. After the close byte the converter starts the image in its flash: back to
    // normal mode when the image is intact, else it stays in update mode for a new session.
    void pipe_write(const uint8_t* data, size_t size);
    size_t pipe_read(uint8_t* out, size_t size);

    Mode mode() const { return mode_; }
    bool plugged() const { return plugged_; }
    void unplug() { plugged_ = false; }
    void replug() { plugged_ = true; }

    const Identity& identity() const { return identity_; }
    const UsbIdentity& usb() const { return usb_; }
    void set_usb(UsbIdentity usb) { usb_ = std::move(usb); }
    // The serial of the face it shows now: the update-mode device's only when it keeps it.
    std::string serial_now() const { return mode_ == Mode::Normal || usb_.update_keeps_serial ? usb_.serial : ""; }
    Flash& flash() { return flash_; }
    Loader& loader() { return loader_; }
    // The 16 bytes this device keeps at 0x5FE0 (what a correct update must preserve).
    std::vector<uint8_t> preserved_value() const { return preserved_; }

    // Fault injection on the normal-mode face: the next `times` requests with this command code
    // (0x12 for INQUIRY) get `reply` instead of being carried out (times < 0: every one). carried:
    // they are carried out and then answered with `reply` (a device that left the bus before the
    // status phase of a command it did carry out).
    void fail_command(uint8_t code, const ScsiReply& reply, int times = -1, bool carried = false);
    void clear_failures() { failures_.clear(); }

    // Device state the tests look at and set.
    std::vector<uint8_t> eeprom = std::vector<uint8_t>(256, 0xFF);
    uint8_t outputs = 0;
    uint8_t power = 0xFF, led = 0xFF, mode_byte = 0, pullup = 0;
    uint16_t mode_parameter = 0, i2c_khz = 0, spi_step = 0;
    uint8_t spi_setting = 0;
    std::vector<uint8_t> i2c_response, spi_response;             // set by 238 / 243
    std::vector<uint8_t> i2c_slave_waiting, spi_slave_waiting;   // data an outside master left
    uint8_t slave_status[4] = {0xA1, 0xA2, 0xA3, 0xA4};          // status bytes 2-5 of 239 / 245
    uint8_t hw_reply[8] = {0x03, 0x12, 0x34, 0, 0, 0, 0x06, 0};  // reply of command 222
    std::map<uint8_t, uint8_t> debug_registers;
    std::vector<uint8_t> i2c_master_written, spi_master_written;  // what 236 / 241 sent
    std::vector<uint8_t> i2c_master_reply, spi_master_reply;      // what 235 / 242 answer (then 0xFF)
    uint16_t i2c_target_word = 0;                                 // CDB bytes 2-3 of the last 235 / 236
    uint8_t i2c_target_byte = 0;                                  // CDB byte 4 of the last 235 / 236
    uint32_t i2c_bus_resets = 0;                                  // count of 233
    // The I2C devices on the bus (7-bit addresses): a transfer to any other target word gets a
    // converter error, as an address nobody acknowledges. Empty: every address answers.
    std::vector<uint8_t> i2c_present;
    // Memories on the I2C bus by 7-bit address: they answer 235 / 236 (and are present).
    std::map<uint8_t, I2cMemory> i2c_memories;
    // A flash on the SPI master's bus: each 241 is one chip-select frame to it, and 242 answers
    // what it drove back. Null: 242 answers spi_master_reply.
    std::unique_ptr<SpiFlash> spi_flash;

    const std::vector<CommandRecord>& transcript() const { return transcript_; }
    void clear_transcript() { transcript_.clear(); }
    // Recording of the transcript (on by default); benchmarks turn it off to stay allocation-free.
    void set_recording(bool on) { recording_ = on; }
    const std::vector<std::string>& protocol_errors() const { return errors_; }

private:
    Identity identity_;
    UsbIdentity usb_;
    Flash flash_;
    Loader loader_;
    Mode mode_ = Mode::Normal;
    bool plugged_ = true;
    bool recording_ = true;
    std::vector<uint8_t> preserved_;
    struct InjectedFailure {
        ScsiReply reply;
        int times;
        bool carried;
    };
    std::map<uint8_t, InjectedFailure> failures_;
    std::vector<CommandRecord> transcript_;
    std::vector<std::string> errors_;
};

// Several converters (or other devices answering INQUIRY) at chosen LPT numbers 1 to 9.
class Bench {
public:
    // Attaches a fresh device at lpt (replacing one there); its preserved block is made from the
    // number lpt, its serial is "SIM000<lpt>" and its port "1-<lpt>" (set_usb changes them).
    Converter& attach(int lpt, Identity identity = {}, uint8_t major = 1, uint8_t minor = 4);
    void detach(int lpt);
    // The device reachable as LPTn now: attached, plugged in and in normal mode; else null.
    Converter* at(int lpt);
    // The device that is attached at lpt whatever its mode or plug state; else null.
    Converter* device(int lpt);
    // The device attached at lpt if it is plugged in and in update mode; else null.
    Converter* update_device(int lpt);
    // The numbers of the attached devices, ascending.
    std::vector<int> numbers() const;

    // Called after every attach and detach (an emulated machine follows the bench with it).
    std::function<void()> changed;

private:
    std::map<int, Converter> devices_;
};

}  // namespace sim

#endif
