/// @file brg40firmup.hpp
/// @brief C++17 wrapper of Brg40Firmup_x64, header-only over brg40firmup.h.
///
/// @code
///   brg40::Converter c = brg40::Converter::open();          // throws brg40::Error on failure
///   std::vector<uint8_t> eeprom = c.eeprom_read(256);
///   c.spi_set_freq(0, 3000);
///   std::vector<uint8_t> in = c.spi_transfer(0, out);      // out: a vector, array or {pointer, size}
/// @endcode
///
/// A Converter holds the handle and nothing else; it closes the handle when it is destroyed.
/// Every failure throws brg40::Error with the status and its text; the calls, their time-outs and
/// their thread rules are those of the C functions (see brg40firmup.h). A Converter may be used
/// from several threads as its handle may (the methods are const: they change nothing in it).
#ifndef BRG40FIRMUP_HPP
#define BRG40FIRMUP_HPP

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#include "brg40firmup.h"
#include "brg40firmup_status.h"

namespace brg40 {

/// @cond BRG40_DETAIL
namespace detail {
#ifdef _WIN32
// A lock the system gives every Windows compiler (MinGW's win32 thread model has no std::mutex).
class Lock {
public:
    void lock() noexcept { AcquireSRWLockExclusive(&lock_); }
    void unlock() noexcept { ReleaseSRWLockExclusive(&lock_); }

private:
    SRWLOCK lock_ = SRWLOCK_INIT;
};
#else
using Lock = std::mutex;
#endif
}  // namespace detail
/// @endcond

/// A failed call: the library's status, with its text and what to check in what().
class Error : public std::runtime_error {
public:
    /// @param status  the status the library returned (nonzero).
    /// @param call    the name of the C function that returned it, e.g. "brg40_eeprom_read".
    Error(int status, const char* call) : std::runtime_error(describe(status, call)), status_(status) {}

    /// @returns the library's status (see brg40firmup.h).
    int status() const noexcept { return status_; }

private:
    static std::string describe(int status, const char* call) {
        char text[BRG40_STATUS_TEXT_SIZE];
        return std::string(call) + ": " + brg40_status_text(status, text, sizeof text) + " (status " +
               std::to_string(status) + "); check " + brg40_status_cause(status);
    }

    int status_;
};

/// Throws Error unless status is 0.
/// @param status  a status of the library.
/// @param call    the name of the C function that returned it.
inline void check(int status, const char* call) {
    if (status != BRG40_OK) {
        throw Error(status, call);
    }
}

/// Read-only bytes passed in: a pointer and a size, or anything with data() and size() of bytes
/// (std::vector<uint8_t>, std::array<uint8_t, N>, std::string). It does not own the bytes.
class ByteSpan {
public:
    /// No bytes.
    constexpr ByteSpan() noexcept = default;
    /// @param data  the first byte (may be null when size is 0).
    /// @param size  the number of bytes.
    constexpr ByteSpan(const uint8_t* data, size_t size) noexcept : data_(data), size_(size) {}
    /// @param bytes  a container of bytes with data() and size(); it must outlive the span.
    template <class Bytes,
              class = decltype(std::declval<const Bytes&>().data()),
              class = decltype(std::declval<const Bytes&>().size())>
    ByteSpan(const Bytes& bytes) noexcept  // NOLINT: converts implicitly, as a span does
        : data_(reinterpret_cast<const uint8_t*>(bytes.data())), size_(bytes.size()) {
        static_assert(sizeof(*bytes.data()) == 1, "ByteSpan takes containers of bytes");
    }

    /// @returns the first byte.
    constexpr const uint8_t* data() const noexcept { return data_; }
    /// @returns the number of bytes.
    constexpr size_t size() const noexcept { return size_; }

private:
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

/// Firmware or library version: two bytes, shown as "%X.%02X".
struct Version {
    uint8_t major;  ///< major version
    uint8_t minor;  ///< minor version
};

/// One batch of slave data: the bytes received (1 to 256) and the converter's 4 status bytes.
struct SlaveBatch {
    std::vector<uint8_t> data;      ///< the bytes received
    std::array<uint8_t, 4> status;  ///< the converter's status bytes of this batch
};

/// The bus of a slave receiver.
enum class Bus {
    I2c,  ///< the I2C bus (brg40_i2c_read_slave)
    Spi   ///< the SPI bus (brg40_spi_transmit_slave)
};

/// A converter present (brg40_list_devices).
struct DeviceInfo {
    int number;          ///< 1 to 9
    std::string node;    ///< the device it is opened as ("/dev/sg2", "LPT3")
    std::string serial;  ///< its USB serial; empty where none is reported or known
    std::string path;    ///< its USB port path; empty where the system does not say
    int open_status;     ///< 0 when it can be opened now; else the open's error (32 busy, 5 denied)
};

class SlaveReceiver;

/// An open converter. Move-only; closes its handle when destroyed (brg40_close).
class Converter {
public:
    /// Lists the converters attached (brg40_find_device).
    /// @returns their device numbers (1 to 9, ascending); empty when none.
    static std::vector<int> find() {
        int count = 0;
        int numbers[9] = {};
        if (brg40_find_device(&count, numbers) != BRG40_OK) {
            return {};
        }
        return std::vector<int>(numbers, numbers + count);
    }

    /// Lists every converter present, whether or not it can be opened now (brg40_list_devices).
    /// @returns them in number order; empty when none.
    static std::vector<DeviceInfo> list() {
        Brg40DeviceInfo infos[9] = {};
        int count = 0;
        std::vector<DeviceInfo> out;
        if (brg40_list_devices(infos, 9, &count) == BRG40_OK) {
            for (int i = 0; i < count && i < 9; ++i) {
                out.push_back({infos[i].number, infos[i].node, infos[i].serial, infos[i].path, infos[i].open_status});
            }
        }
        return out;
    }

    /// Opens exactly the converter a selector names (brg40_open_device).
    /// @param selector  "N", "serial:S", "path:P" or a device node.
    /// @returns the open converter.
    /// @throws Error -21 (none matches, or the open failed), -23 (several match) or 87 (not a selector).
    static Converter open(const std::string& selector) {
        int status = BRG40_NO_DEVICE;
        Brg40Handle handle = brg40_open_device(selector.c_str(), &status);
        if (handle == nullptr) {
            throw Error(status != BRG40_OK ? status : BRG40_NO_DEVICE, "brg40_open_device");
        }
        return Converter(handle);
    }

    /// Opens the first converter found (brg40_open: one such handle at a time).
    /// @returns the open converter.
    /// @throws Error -21 (none, or the open failed) or -22 (a handle from open() is still held).
    static Converter open() {
        int status = BRG40_NO_DEVICE;
        Brg40Handle handle = brg40_open(&status);
        if (handle == nullptr) {
            throw Error(status != BRG40_OK ? status : BRG40_NO_DEVICE, "brg40_open");
        }
        return Converter(handle);
    }

    /// Opens a converter by number without search or identity check (brg40_open_ex).
    /// @param number  the device number, 1 to 9.
    /// @returns the open converter.
    /// @throws Error -21.
    static Converter open(int number) {
        int status = BRG40_NO_DEVICE;
        Brg40Handle handle = brg40_open_ex(number, &status);
        if (handle == nullptr) {
            throw Error(status != BRG40_OK ? status : BRG40_NO_DEVICE, "brg40_open_ex");
        }
        return Converter(handle);
    }

    /// Reads the library's own version (brg40_get_dll_version); no converter needed.
    /// @returns the version.
    /// @throws Error -400.
    static Version library_version() {
        Version v{0xFF, 0xFF};
        check(brg40_get_dll_version(nullptr, &v.major, &v.minor), "brg40_get_dll_version");
        return v;
    }

    /// Takes over a handle.
    /// @param handle  from brg40_open or brg40_open_ex, or NULL for no converter.
    explicit Converter(Brg40Handle handle) noexcept : handle_(handle) {}
    /// Closes the handle.
    ~Converter() { close(); }
    /// Takes the handle of other, which then holds none.
    /// @param other  the converter given up.
    Converter(Converter&& other) noexcept : handle_(other.release()) {}
    /// Closes this handle and takes the one of other, which then holds none.
    /// @param other  the converter given up.
    /// @returns this converter.
    Converter& operator=(Converter&& other) noexcept {
        if (this != &other) {
            close();
            handle_ = other.release();
        }
        return *this;
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    /// @returns the handle, for the C functions; it stays owned by this object.
    Brg40Handle handle() const noexcept { return handle_; }
    /// Hands the handle over to the caller, who then closes it; this object holds none.
    /// @returns the handle.
    Brg40Handle release() noexcept { return std::exchange(handle_, nullptr); }
    /// Closes the handle now (nothing when none is held). A library worker of a receiver that
    /// stopped less than 600 ms ago may still send its last request on this handle, so the close
    /// waits until then: on Linux a closed descriptor's number soon belongs to another file.
    void close() noexcept;

    /// Reads the firmware version (brg40_get_fw_version, 5 s).
    /// @returns the version.
    /// @throws Error with a transport status.
    Version firmware_version() const {
        Version v{0xFF, 0xFF};
        check(brg40_get_fw_version(handle_, &v.major, &v.minor), "brg40_get_fw_version");
        return v;
    }
    /// Reads the hardware information (brg40_get_hw_info, 5 s).
    /// @returns the information.
    /// @throws Error with a transport status.
    Brg40HwInfo hw_info() const {
        Brg40HwInfo info{};
        check(brg40_get_hw_info(handle_, &info), "brg40_get_hw_info");
        return info;
    }
    /// Sets the power (brg40_power_control: 0 first, then value; 2 x 5 s).
    /// @param value  power value.
    /// @throws Error with a transport status.
    void power(uint8_t value) const { check(brg40_power_control(handle_, value), "brg40_power_control"); }
    /// Sets the LED (brg40_led_control, 5 s).
    /// @param value  LED value.
    /// @throws Error with a transport status.
    void led(uint8_t value) const { check(brg40_led_control(handle_, value), "brg40_led_control"); }
    /// Changes the operating mode (brg40_mode_change_ex, 5 s). For slave data see receive().
    /// @param mode       the mode (low 8 bits sent); mode AND 7 must not be 7.
    /// @param parameter  16-bit mode parameter.
    /// @throws Error -104 or a transport status.
    void mode_change(int mode, uint16_t parameter = 0) const {
        check(brg40_mode_change_ex(handle_, mode, parameter), "brg40_mode_change_ex");
    }
    /// Orders the converter into its firmware-update mode (brg40_change_firmup_mode, 10 s);
    /// afterwards only destroy or close this object.
    /// @throws Error with a transport status.
    void change_firmup_mode() const { check(brg40_change_firmup_mode(handle_), "brg40_change_firmup_mode"); }

    /// Reads the outputs (brg40_gpo_read, 5 s).
    /// @returns the 4 output bytes.
    /// @throws Error with a transport status.
    std::vector<uint8_t> gpo_read() const {
        std::vector<uint8_t> bytes(4);
        check(brg40_gpo_read(handle_, bytes.data()), "brg40_gpo_read");
        return bytes;
    }
    /// Writes the outputs (brg40_gpo_write, 5 s).
    /// @param value  the output bits.
    /// @throws Error with a transport status.
    void gpo_write(uint8_t value) const { check(brg40_gpo_write(handle_, value), "brg40_gpo_write"); }

    /// Sets the I2C pull-ups (brg40_i2c_pullup, 5 s).
    /// @param value  pull-up setting.
    /// @throws Error with a transport status.
    void i2c_pullup(uint8_t value) const { check(brg40_i2c_pullup(handle_, value), "brg40_i2c_pullup"); }
    /// Resets the I2C bus (brg40_i2c_bus_reset, 5 s).
    /// @throws Error with a transport status.
    void i2c_bus_reset() const { check(brg40_i2c_bus_reset(handle_), "brg40_i2c_bus_reset"); }
    /// Sets the I2C speed (brg40_i2c_set_freq, 5 s).
    /// @param selector  0 = 1000 kHz, 1 = 400 kHz, 2 = 100 kHz.
    /// @throws Error -400 for another selector, or a transport status.
    void i2c_set_freq(uint8_t selector) const { check(brg40_i2c_set_freq(handle_, selector), "brg40_i2c_set_freq"); }
    /// I2C master read (brg40_i2c_read_master, 5 s).
    /// @param word    16-bit target word.
    /// @param byte    8-bit target byte.
    /// @param length  bytes to read, 0 to 65535.
    /// @returns the length bytes read.
    /// @throws Error with a transport status.
    std::vector<uint8_t> i2c_read(uint16_t word, uint8_t byte, uint16_t length) const {
        std::vector<uint8_t> bytes(transfer_size(length));
        check(brg40_i2c_read_master(handle_, word, byte, length, bytes.data()), "brg40_i2c_read_master");
        bytes.resize(length);
        return bytes;
    }
    /// I2C master write (brg40_i2c_write_master, 5 s); a single byte is sent from a two-byte copy.
    /// @param word   16-bit target word.
    /// @param byte   8-bit target byte.
    /// @param bytes  the bytes, at most 65535.
    /// @throws Error with a transport status; std::length_error for more than 65535 bytes.
    void i2c_write(uint16_t word, uint8_t byte, ByteSpan bytes) const {
        const Padded out(bytes);
        check(brg40_i2c_write_master(handle_, word, byte, out.length, out.data), "brg40_i2c_write_master");
    }
    /// Sets the bytes the converter answers an outside I2C master with
    /// (brg40_i2c_set_response_data, 5 s).
    /// @param bytes  the bytes, at most 65535.
    /// @throws Error with a transport status; std::length_error for more than 65535 bytes.
    void i2c_set_response(ByteSpan bytes) const {
        const Padded out(bytes);
        check(brg40_i2c_set_response_data(handle_, out.length, out.data), "brg40_i2c_set_response_data");
    }

    /// Sets the SPI clock to the largest step not above requested, floor 3 (brg40_spi_set_freq, 5 s).
    /// @param setting    SPI setting byte.
    /// @param requested  requested frequency, in the unit of the converter's firmware.
    /// @returns the step set.
    /// @throws Error with a transport status.
    uint16_t spi_set_freq(uint8_t setting, uint16_t requested) const {
        unsigned short actual = 0xFFFF;
        check(brg40_spi_set_freq(handle_, setting, requested, &actual), "brg40_spi_set_freq");
        return actual;
    }
    /// SPI master transfer (brg40_spi_transmit_master, 2 x 5 s).
    /// @param setting  SPI setting byte.
    /// @param send     the bytes to send, at most 65535.
    /// @returns as many bytes received.
    /// @throws Error with a transport status; std::length_error for more than 65535 bytes.
    std::vector<uint8_t> spi_transfer(uint8_t setting, ByteSpan send) const {
        const Padded out(send);
        std::vector<uint8_t> in(transfer_size(out.length));
        check(brg40_spi_transmit_master(handle_, setting, out.length, out.data, in.data()),
              "brg40_spi_transmit_master");
        in.resize(out.length);
        return in;
    }
    /// Sets the bytes the converter answers an outside SPI master with
    /// (brg40_spi_set_response_data, 5 s).
    /// @param bytes  the bytes, at most 65535.
    /// @throws Error with a transport status; std::length_error for more than 65535 bytes.
    void spi_set_response(ByteSpan bytes) const {
        const Padded out(bytes);
        check(brg40_spi_set_response_data(handle_, out.length, out.data), "brg40_spi_set_response_data");
    }

    /// Reads the EEPROM from its start (brg40_eeprom_read, 10 s).
    /// @param length  bytes to read, 0 to 65535.
    /// @returns the bytes read.
    /// @throws Error with a transport status.
    std::vector<uint8_t> eeprom_read(uint16_t length) const {
        std::vector<uint8_t> bytes(transfer_size(length));
        check(brg40_eeprom_read(handle_, length, bytes.data()), "brg40_eeprom_read");
        bytes.resize(length);
        return bytes;
    }
    /// Writes the EEPROM from its start (brg40_eeprom_write, 10 s).
    /// @param bytes  the bytes, at most 65535.
    /// @throws Error with a transport status; std::length_error for more than 65535 bytes.
    void eeprom_write(ByteSpan bytes) const {
        const Padded out(bytes);
        check(brg40_eeprom_write(handle_, out.length, out.data), "brg40_eeprom_write");
    }

    /// Reads a debug register (brg40_debug_pic_read, 10 s).
    /// @param address  8-bit register address.
    /// @returns its 2 bytes.
    /// @throws Error with a transport status.
    std::vector<uint8_t> debug_read(uint8_t address) const {
        std::vector<uint8_t> bytes(2);
        check(brg40_debug_pic_read(handle_, address, bytes.data()), "brg40_debug_pic_read");
        return bytes;
    }
    /// Writes a debug register (brg40_debug_pic_write, 10 s).
    /// @param address  8-bit register address.
    /// @param value    the byte to write.
    /// @throws Error with a transport status.
    void debug_write(uint8_t address, uint8_t value) const {
        check(brg40_debug_pic_write(handle_, address, value), "brg40_debug_pic_write");
    }

    /// Enters the slave mode and hands every batch of slave data to on_batch until the returned
    /// receiver ends; see SlaveReceiver. Destroy the receiver before this converter.
    /// @param bus        the bus to receive on.
    /// @param mode       the mode to run in; the slave bit (2) is added while receiving.
    /// @param parameter  16-bit mode parameter.
    /// @param on_batch   called on the library's worker thread with each batch.
    /// @returns the receiver, active.
    /// @throws Error from the mode change; std::logic_error when a receiver of this bus is
    ///         already active in this module; std::invalid_argument without a function.
    SlaveReceiver receive(Bus bus, int mode, uint16_t parameter, std::function<void(const SlaveBatch&)> on_batch) const;

private:
    // The library moves one byte as two: reads get a buffer of at least 2 bytes.
    static size_t transfer_size(size_t length) { return length == 1 ? 2 : length; }

    // Bytes to send, checked for the 16-bit length; a single byte is copied into two, as the
    // library sends two bytes for a length of 1.
    struct Padded {
        explicit Padded(ByteSpan bytes) : length(static_cast<uint16_t>(bytes.size())), data(bytes.data()) {
            if (bytes.size() > 0xFFFF) {
                throw std::length_error("brg40: one transfer carries at most 65535 bytes");
            }
            if (bytes.size() == 1) {
                pair[0] = bytes.data()[0];
                data = pair;
            }
        }
        uint16_t length;
        const uint8_t* data;
        uint8_t pair[2] = {0, 0};
    };

    Brg40Handle handle_ = nullptr;
};

/// Receives slave data while it lives. The library's slave callback carries no user pointer, so
/// the receiver keeps its function in one slot per bus, shared by this module (the program or
/// DLL that includes this header): one receiver per bus at a time. The function runs on the
/// library's worker thread, one batch at a time, and must not throw, destroy its receiver or
/// call brg40 functions that change the slave mode. Destroying the receiver (or stop()) leaves
/// the slave mode on the converter, waits for a batch being handed on, and stops deliveries;
/// the library's worker notices the mode within 500 ms and ends. A new receiver on the same bus
/// therefore starts no sooner than 600 ms after the last one ended (Converter::receive waits),
/// so that the earlier worker cannot run on beside the new one. The slave mode is one for the
/// whole converter: ending a receiver also ends the reception of a receiver on the other bus.
/// Move-only.
class SlaveReceiver {
public:
    /// Receives nothing.
    SlaveReceiver() noexcept = default;
    /// Stops the reception (stop()).
    ~SlaveReceiver() { stop(); }
    /// Takes over the reception of other, which then receives nothing.
    /// @param other  the receiver given up.
    SlaveReceiver(SlaveReceiver&& other) noexcept
        : slot_(std::exchange(other.slot_, nullptr)), mode_(other.mode_), parameter_(other.parameter_) {}
    /// Stops this reception and takes over the one of other.
    /// @param other  the receiver given up.
    /// @returns this receiver.
    SlaveReceiver& operator=(SlaveReceiver&& other) noexcept {
        if (this != &other) {
            stop();
            slot_ = std::exchange(other.slot_, nullptr);
            mode_ = other.mode_;
            parameter_ = other.parameter_;
        }
        return *this;
    }
    SlaveReceiver(const SlaveReceiver&) = delete;
    SlaveReceiver& operator=(const SlaveReceiver&) = delete;

    /// @returns true while it receives.
    bool active() const noexcept { return slot_ != nullptr; }

    /// Ends the reception: no batch is handed on after stop() returns. The slave mode is left
    /// with the mode and parameter given at the start minus the slave bit (errors of that change
    /// are ignored: the converter may be gone).
    void stop() noexcept {
        if (slot_ == nullptr) {
            return;
        }
        Brg40Handle handle = nullptr;
        {
            std::lock_guard<detail::Lock> guard(slot_->mutex);  // waits for a batch being handed on
            handle = slot_->handle;
            slot_->on_batch = nullptr;
            slot_->handle = nullptr;
        }
        brg40_mode_change_ex(handle, mode_ & ~kSlaveBit, parameter_);
        std::lock_guard<detail::Lock> guard(slot_->mutex);
        slot_->stopped = std::chrono::steady_clock::now();
        slot_ = nullptr;
    }

private:
    friend class Converter;
    static constexpr int kSlaveBit = 2;

    struct Slot {
        detail::Lock mutex;
        std::function<void(const SlaveBatch&)> on_batch;
        Brg40Handle handle = nullptr;
        std::chrono::steady_clock::time_point stopped;  // when the last receiver of the bus ended
    };

    // The library's worker looks at the slave mode every 500 ms.
    static constexpr std::chrono::milliseconds kWorkerNoticesEnd{600};

    // One slot per bus for this module (a function-local static of an inline function).
    static Slot& slot(Bus bus) {
        static Slot slots[2];
        return slots[bus == Bus::I2c ? 0 : 1];
    }

    static void start_worker(Bus bus, Brg40Handle handle) {
        if (bus == Bus::I2c) {
            brg40_i2c_read_slave(handle, 0, on_i2c, nullptr);
        } else {
            brg40_spi_transmit_slave(handle, 0, on_spi, nullptr);
        }
    }

    // The library's callbacks, on its worker thread: hand the batch on and wait for the next.
    static int on_i2c(unsigned int count, unsigned char* area) { return deliver(Bus::I2c, count, area); }
    static int on_spi(unsigned int count, unsigned char* area) { return deliver(Bus::Spi, count, area); }
    static int deliver(Bus bus, unsigned int count, unsigned char* area) {
        Slot& s = slot(bus);
        SlaveBatch batch;
        // The area is shared by both buses and overwritten by the next delivery: copy it first.
        const size_t n = count < BRG40_SLAVE_AREA_DATA ? count : BRG40_SLAVE_AREA_DATA;
        batch.data.assign(area, area + n);
        for (size_t i = 0; i < batch.status.size(); ++i) {
            batch.status[i] = area[BRG40_SLAVE_AREA_DATA + i];
        }
        std::lock_guard<detail::Lock> guard(s.mutex);
        if (!s.on_batch) {
            return 0;  // stopped meanwhile
        }
        try {
            s.on_batch(batch);
        } catch (...) {
            s.on_batch = nullptr;  // a throwing function ends the reception; nothing may reach C
            return 0;
        }
        start_worker(bus, s.handle);  // each start of the library delivers one batch
        return 0;
    }

    SlaveReceiver(Slot* slot, int mode, uint16_t parameter) noexcept
        : slot_(slot), mode_(mode), parameter_(parameter) {}

    Slot* slot_ = nullptr;
    int mode_ = 0;
    uint16_t parameter_ = 0;
};

inline SlaveReceiver Converter::receive(Bus bus,
                                        int mode,
                                        uint16_t parameter,
                                        std::function<void(const SlaveBatch&)> on_batch) const {
    if (!on_batch) {
        throw std::invalid_argument("brg40: receive needs a function");
    }
    SlaveReceiver::Slot& s = SlaveReceiver::slot(bus);
    std::chrono::steady_clock::time_point earliest;
    {
        std::lock_guard<detail::Lock> guard(s.mutex);
        if (s.on_batch) {
            throw std::logic_error("brg40: a receiver for this bus is already active in this module");
        }
        earliest = s.stopped + SlaveReceiver::kWorkerNoticesEnd;
    }
    std::this_thread::sleep_until(earliest);  // the worker of the last receiver has ended by then
    {
        std::lock_guard<detail::Lock> guard(s.mutex);
        if (s.on_batch) {
            throw std::logic_error("brg40: a receiver for this bus is already active in this module");
        }
        s.on_batch = std::move(on_batch);
        s.handle = handle_;
    }
    SlaveReceiver receiver(&s, mode, parameter);
    const int status = brg40_mode_change_ex(handle_, mode | SlaveReceiver::kSlaveBit, parameter);
    if (status != BRG40_OK) {
        std::lock_guard<detail::Lock> guard(s.mutex);
        s.on_batch = nullptr;
        s.handle = nullptr;
        receiver.slot_ = nullptr;
        throw Error(status, "brg40_mode_change_ex");
    }
    SlaveReceiver::start_worker(bus, handle_);
    return receiver;
}

inline void Converter::close() noexcept {
    if (handle_ == nullptr) {
        return;
    }
    for (Bus bus : {Bus::I2c, Bus::Spi}) {
        SlaveReceiver::Slot& s = SlaveReceiver::slot(bus);
        std::chrono::steady_clock::time_point until;
        {
            std::lock_guard<detail::Lock> guard(s.mutex);
            until = s.stopped + SlaveReceiver::kWorkerNoticesEnd;
        }
        std::this_thread::sleep_until(until);
    }
    brg40_close(std::exchange(handle_, nullptr));
}

}  // namespace brg40

#endif  // BRG40FIRMUP_HPP
