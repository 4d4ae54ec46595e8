// A 25-series SPI NOR flash on the converter's SPI master: JEDEC ID, an SFDP table, reads, page
// program, 4 KiB / 32 KiB / 64 KiB / chip erase, the status register with its write-enable latch,
// busy time, block protection, 3- and 4-byte addressing, and a fault mode in which it stops answering.
#ifndef BRG40_SIM_SPI_FLASH_H
#define BRG40_SIM_SPI_FLASH_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace sim {

// How long the flash stays busy after each kind of operation, in microseconds.
struct SpiFlashTimes {
    uint32_t page_us = 100;     // page program
    uint32_t sector_us = 2000;  // 4 KiB erase
    uint32_t block_us = 8000;   // 32 KiB and 64 KiB erase
    uint32_t chip_us = 50000;   // chip erase
    uint32_t status_us = 1000;  // status register write
};

// What the flash has done since it was made: the frames it saw and the operations it carried out.
// ignored: commands it dropped (busy, write enable latch not set, malformed, protected area).
struct SpiFlashCounts {
    uint64_t frames = 0;
    uint64_t page_programs = 0;
    uint64_t erases_4k = 0;
    uint64_t erases_32k = 0;
    uint64_t erases_64k = 0;
    uint64_t chip_erases = 0;
    uint64_t status_writes = 0;
    uint64_t ignored = 0;
};

class SpiFlash {
public:
    static constexpr uint32_t kPageSize = 256;
    static constexpr uint32_t kMinSize = 1u << 20;
    static constexpr uint32_t kMaxSize = 32u << 20;
    // Sizes of 16 MiB and more take 4-byte addresses too (B7h/E9h and the 4-byte opcodes).
    static constexpr uint32_t kFourByteFrom = 16u << 20;

    // An erased flash of size bytes (a power of two from kMinSize to kMaxSize). now: seconds on a
    // steady clock (the real one when empty), for the busy time.
    explicit SpiFlash(uint32_t size, std::function<double()> now = {});

    // One chip-select frame: n bytes on MOSI in, n bytes on MISO out (0xFF where the flash drives
    // nothing). A command takes effect when the frame ends, as chip select rises.
    void frame(const uint8_t* mosi, uint8_t* miso, size_t n);

    uint32_t size() const { return static_cast<uint32_t>(memory_.size()); }
    std::vector<uint8_t>& memory() { return memory_; }
    // The status register as a read shows it now (bit 0 busy, bit 1 write enable latch, bits 2-4
    // block protect, bit 7 status register write disable).
    uint8_t status() const;
    // Sets bits 2 to 7 of the status register (the block-protect bits among them).
    void set_status(uint8_t value) { status_ = static_cast<uint8_t>(value & 0xFC); }
    bool four_byte_mode() const { return four_byte_mode_; }
    const SpiFlashCounts& counts() const { return counts_; }

    // The SFDP area: header, basic flash parameter table and, from 16 MiB, the 4-byte address
    // instruction table. Empty when sfdp is off.
    std::vector<uint8_t> sfdp_area() const;

    // After `frames` more frames the flash answers nothing and does nothing (0: at once; negative:
    // answers again).
    void mute_after(long frames) { mute_countdown_ = frames; }
    bool muted() const { return mute_countdown_ == 0; }

    uint8_t id[3] = {0xEF, 0x40, 0x14};  // maker, memory type, capacity (2^n bytes)
    bool sfdp = true;
    bool four_byte_table = true;  // from 16 MiB: the SFDP area lists the 4-byte opcodes
    SpiFlashTimes times;

private:
    bool busy() const;
    void start_busy(uint32_t us);
    // True when [address, address + length) touches the area the block-protect bits cover.
    bool protected_area(uint32_t address, uint32_t length) const;
    void program(uint32_t address, const uint8_t* data, size_t n);
    void erase(uint32_t address, uint32_t block, uint64_t& count, uint32_t us);

    std::vector<uint8_t> memory_;
    std::function<double()> now_;
    double busy_until_ = 0;
    uint8_t status_ = 0;  // bits 2-7; bit 1 is the latch below, bit 0 comes from the time
    bool write_enabled_ = false;
    bool four_byte_mode_ = false;
    long mute_countdown_ = -1;
    SpiFlashCounts counts_;
};

}  // namespace sim

#endif
