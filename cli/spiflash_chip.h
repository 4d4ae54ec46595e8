// A 25-series SPI NOR flash driven through one-frame transfers: every command is one chip-select
// frame, as the converter's SPI master frames each transfer call. Identification, reads as long as
// a transfer takes, write enable, erase, page program, the status register, busy polling with a
// time-out, and the 4-byte address mode.
#ifndef BRG40_CLI_SPIFLASH_CHIP_H
#define BRG40_CLI_SPIFLASH_CHIP_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "spiflash_geometry.h"

// One chip-select frame: n bytes out, n bytes into in (both buffers hold at least two bytes, as
// the library moves one byte as two). Returns the library's status.
using SpiFrame = std::function<int(const uint8_t* out, uint8_t* in, size_t n)>;

constexpr size_t kMaxSpiFrame = 0xFFFF;  // the longest transfer the converter takes
constexpr uint8_t kStatusBusy = 0x01;
constexpr uint8_t kStatusBlockProtect = 0x1C;

// Where and why the chip stopped: a transfer that failed (status nonzero), or a flash that stayed
// busy past its time-out.
struct ChipFailure {
    std::string operation;  // "read", "page program", "erase", "status write", ...
    uint64_t address = 0;
    int status = 0;
    std::string detail;
};

class SpiFlashChip {
public:
    explicit SpiFlashChip(SpiFrame frame);

    // The JEDEC ID (9Fh): maker, memory type, capacity.
    bool ReadId(uint8_t id[3]);
    // The SFDP area (5Ah) as far as its parser needs it; empty when the chip shows no signature.
    bool ReadSfdpArea(std::vector<uint8_t>& area);

    // Takes the chip's geometry and chooses the address length and opcodes. False with the reason
    // when the chip needs 4-byte addresses and says of no way to them.
    bool Use(const FlashGeometry& geometry, std::string& error);
    const FlashGeometry& Geometry() const { return m_geometry; }
    int AddressBytes() const { return m_addressBytes; }
    // 13h, 12h and the erase types' 4-byte opcodes are in use.
    bool FourByteOpcodes() const { return m_fourByteOpcodes; }
    // Before the first access: the chip into the address mode chosen. After the last: back out.
    bool Begin();
    bool End();

    bool ReadStatus(uint8_t& status);
    // Writes the status register and waits until the chip is ready.
    bool WriteStatus(uint8_t value);
    // n bytes from address, in frames as long as the converter takes; progress(bytes so far).
    bool Read(uint32_t address, uint8_t* out, size_t n, const std::function<void(size_t)>& progress = {});
    // Erases the block of type `type` at address and waits until the chip is ready.
    bool Erase(uint32_t address, const EraseType& type);
    // Programs n bytes (inside one page) at address and waits until the chip is ready.
    bool Program(uint32_t address, const uint8_t* data, size_t n);

    const ChipFailure& Failure() const { return m_failure; }
    uint64_t Frames() const { return m_frames; }

private:
    bool Transfer(size_t n, const char* operation, uint64_t address);
    bool Command(uint8_t opcode, const char* operation, uint64_t address = 0);
    size_t PutAddress(uint8_t opcode, uint32_t address);
    bool WaitReady(double seconds, bool pause, const char* operation, uint64_t address);

    SpiFrame m_frame;
    std::vector<uint8_t> m_out, m_in;
    size_t m_programmed = 0;  // m_out may hold page data up to here; beyond it and byte 8, zeros
    FlashGeometry m_geometry;
    int m_addressBytes = 3;
    bool m_fourByteOpcodes = false;  // 13h, 12h and the 4-byte erase opcodes
    bool m_enterMode = false;        // B7h at the start, E9h at the end
    bool m_leaveMode = false;        // E9h at the start: a chip left in 4-byte mode
    uint8_t m_readOpcode = 0x03, m_programOpcode = 0x02;
    ChipFailure m_failure;
    uint64_t m_frames = 0;
};

#endif
