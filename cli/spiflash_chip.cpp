// The flash commands as frames: opcode, address, then data or the bytes clocked in.
#include "spiflash_chip.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "spiflash_sfdp.h"

namespace {

constexpr uint64_t kThreeByteLimit = uint64_t{1} << 24;
constexpr size_t kSfdpFirstRead = 256;  // the headers and, on most chips, the tables
constexpr size_t kSfdpHeader = 5;       // 5Ah, a 3-byte address, one dummy byte
constexpr double kStatusWriteSeconds = 1.0;

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Time-outs well above the typical times (the chip's own figures where it gives them).
double PageSeconds(const FlashGeometry& g) {
    return std::max(0.05, g.pageProgramUs * 20e-6);
}

double EraseSeconds(const EraseType& type) {
    return std::max(2.0 + type.size / 65536.0, type.typicalMs * 0.02);
}

}  // namespace

SpiFlashChip::SpiFlashChip(SpiFrame frame)
    : m_frame(std::move(frame)), m_out(kMaxSpiFrame + 1, 0), m_in(kMaxSpiFrame + 1, 0) {}

bool SpiFlashChip::Transfer(size_t n, const char* operation, uint64_t address) {
    ++m_frames;
    const int status = m_frame(m_out.data(), m_in.data(), n);
    if (status != 0) {
        m_failure = {operation, address, status,
                     "brg40_spi_transmit_master failed with status " + std::to_string(status)};
        return false;
    }
    return true;
}

bool SpiFlashChip::Command(uint8_t opcode, const char* operation, uint64_t address) {
    m_out[0] = opcode;
    return Transfer(1, operation, address);
}

size_t SpiFlashChip::PutAddress(uint8_t opcode, uint32_t address) {
    m_out[0] = opcode;
    for (int i = 0; i < m_addressBytes; ++i) {
        m_out[1 + i] = static_cast<uint8_t>(address >> (8 * (m_addressBytes - 1 - i)));
    }
    return 1 + static_cast<size_t>(m_addressBytes);
}

bool SpiFlashChip::ReadId(uint8_t id[3]) {
    std::fill(m_out.begin(), m_out.begin() + 4, uint8_t{0});
    m_out[0] = 0x9F;
    if (!Transfer(4, "JEDEC ID", 0)) {
        return false;
    }
    std::copy(m_in.begin() + 1, m_in.begin() + 4, id);
    return true;
}

bool SpiFlashChip::ReadSfdpArea(std::vector<uint8_t>& area) {
    area.clear();
    size_t wanted = kSfdpFirstRead;
    for (int round = 0; round < 3 && wanted > area.size(); ++round) {
        wanted = std::min(wanted, kMaxSpiFrame - kSfdpHeader);
        std::fill(m_out.begin(), m_out.begin() + kSfdpHeader + wanted, uint8_t{0});
        m_out[0] = 0x5A;  // address 0 in three bytes, then the dummy byte
        if (!Transfer(kSfdpHeader + wanted, "SFDP read", 0)) {
            return false;
        }
        area.assign(m_in.begin() + kSfdpHeader, m_in.begin() + kSfdpHeader + wanted);
        const size_t needed = SfdpBytesNeeded(area.data(), area.size());
        if (needed == 0) {
            area.clear();
            return true;
        }
        wanted = std::max(wanted, needed);
    }
    return true;
}

bool SpiFlashChip::Use(const FlashGeometry& geometry, std::string& error) {
    m_geometry = geometry;
    m_addressBytes = 3;
    m_fourByteOpcodes = m_enterMode = m_leaveMode = false;
    m_readOpcode = 0x03;
    m_programOpcode = 0x02;
    const bool large = geometry.size > kThreeByteLimit;
    if (geometry.addressing == AddressMode::Four) {
        m_addressBytes = 4;
    } else if (!large) {
        m_leaveMode = geometry.addressing == AddressMode::ThreeOrFour && geometry.exitE9;
    } else if (geometry.addressing == AddressMode::Three) {
        error = "the chip holds more than 16 MiB but takes 3-byte addresses only";
        return false;
    } else {
        std::vector<EraseType> fourByte;
        for (const EraseType& e : geometry.erases) {
            if (e.opcode4 != 0) {
                fourByte.push_back(e);
            }
        }
        m_addressBytes = 4;
        if (geometry.read4 && geometry.program4 && !fourByte.empty()) {
            m_fourByteOpcodes = true;
            m_geometry.erases = fourByte;
            m_readOpcode = 0x13;
            m_programOpcode = 0x12;
        } else if (geometry.enterB7) {
            m_enterMode = true;
        } else {
            error = "the chip needs 4-byte addresses and names no way to them";
            return false;
        }
    }
    return true;
}

bool SpiFlashChip::Begin() {
    if (m_leaveMode) {
        // A chip left in 4-byte mode would take the first address byte as part of the address.
        return (!m_geometry.exitNeedsWriteEnable || Command(0x06, "write enable")) && Command(0xE9, "4-byte mode exit");
    }
    if (m_enterMode) {
        return (!m_geometry.enterNeedsWriteEnable || Command(0x06, "write enable")) &&
               Command(0xB7, "4-byte mode entry");
    }
    return true;
}

bool SpiFlashChip::End() {
    if (!m_enterMode) {
        return true;
    }
    return (!m_geometry.exitNeedsWriteEnable || Command(0x06, "write enable")) && Command(0xE9, "4-byte mode exit");
}

bool SpiFlashChip::ReadStatus(uint8_t& status) {
    m_out[0] = 0x05;
    m_out[1] = 0;
    if (!Transfer(2, "status read", 0)) {
        return false;
    }
    status = m_in[1];
    return true;
}

bool SpiFlashChip::WaitReady(double seconds, bool pause, const char* operation, uint64_t address) {
    const double start = Now();
    for (;;) {
        uint8_t status = 0;
        if (!ReadStatus(status)) {
            m_failure.operation = operation;
            m_failure.address = address;
            return false;
        }
        if ((status & kStatusBusy) == 0) {
            return true;
        }
        const double waited = Now() - start;
        if (waited > seconds) {
            char detail[96];
            std::snprintf(detail, sizeof detail, "still busy after %.2f s (status 0x%02X%s)", waited, status,
                          status == 0xFF ? ": no answer" : "");
            m_failure = {operation, address, 0, detail};
            return false;
        }
        if (pause) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));  // erases take tens of ms and more
        }
    }
}

bool SpiFlashChip::WriteStatus(uint8_t value) {
    if (!Command(0x06, "write enable")) {
        return false;
    }
    m_out[0] = 0x01;
    m_out[1] = value;
    return Transfer(2, "status write", 0) && WaitReady(kStatusWriteSeconds, true, "status write", 0);
}

bool SpiFlashChip::Read(uint32_t address, uint8_t* out, size_t n, const std::function<void(size_t)>& progress) {
    const size_t header = 1 + static_cast<size_t>(m_addressBytes);
    const size_t chunk = kMaxSpiFrame - header;
    for (size_t done = 0; done < n;) {
        const size_t part = std::min(chunk, n - done);
        const uint32_t at = address + static_cast<uint32_t>(done);
        PutAddress(m_readOpcode, at);
        // Zeros go out while the data comes in: clear what page programs and longer addresses left.
        const size_t dirty = std::max(m_programmed, size_t{8});
        if (dirty > header) {
            std::fill(m_out.begin() + header, m_out.begin() + dirty, uint8_t{0});
        }
        m_programmed = 0;
        if (!Transfer(header + part, "read", at)) {
            return false;
        }
        std::memcpy(out + done, m_in.data() + header, part);
        done += part;
        if (progress) {
            progress(done);
        }
    }
    return true;
}

bool SpiFlashChip::Erase(uint32_t address, const EraseType& type) {
    if (!Command(0x06, "write enable", address)) {
        return false;
    }
    const size_t n = PutAddress(m_fourByteOpcodes ? type.opcode4 : type.opcode, address);
    return Transfer(n, "erase", address) && WaitReady(EraseSeconds(type), true, "erase", address);
}

bool SpiFlashChip::Program(uint32_t address, const uint8_t* data, size_t n) {
    if (!Command(0x06, "write enable", address)) {
        return false;
    }
    const size_t header = PutAddress(m_programOpcode, address);
    std::memcpy(m_out.data() + header, data, n);
    m_programmed = std::max(m_programmed, header + n);
    return Transfer(header + n, "page program", address) &&
           WaitReady(PageSeconds(m_geometry), false, "page program", address);
}
