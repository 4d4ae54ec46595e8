// The 25-series SPI NOR flash model: one command per chip-select frame, strict about the write
// enable latch, busy time and frame lengths, as a driver that skips a step must fail here.
#include "spi_flash.h"

#include <algorithm>
#include <chrono>

namespace sim {

namespace {

constexpr uint8_t kStatusBusy = 0x01;
constexpr uint8_t kStatusWriteEnabled = 0x02;
constexpr uint8_t kStatusBlockProtect = 0x1C;
constexpr uint32_t kSfdpHeaders = 0x08;
constexpr uint32_t kBasicTable = 0x30;  // 16 DWORDs
constexpr uint32_t kFourByteTable = 0x70;

double steady_seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void put32(std::vector<uint8_t>& out, uint32_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

// A typical time as the basic table holds it: a count of 1 to 32 in the smallest unit that fits;
// the field is the unit's index above the count minus one (count_bits wide).
uint32_t time_field(uint32_t us, const uint32_t* units_us, int unit_count, int count_bits) {
    const uint32_t most = 1u << count_bits;
    for (int u = 0; u < unit_count; ++u) {
        const uint32_t count = std::max<uint32_t>(1, (us + units_us[u] - 1) / units_us[u]);
        if (count <= most || u == unit_count - 1) {
            return static_cast<uint32_t>(u) << count_bits | (std::min(count, most) - 1);
        }
    }
    return 0;
}

uint32_t log2_of(uint32_t value) {
    uint32_t n = 0;
    while ((1u << n) < value) {
        ++n;
    }
    return n;
}

}  // namespace

SpiFlash::SpiFlash(uint32_t size, std::function<double()> now)
    : memory_(size, 0xFF), now_(now ? std::move(now) : steady_seconds) {
    id[2] = static_cast<uint8_t>(log2_of(size));
}

bool SpiFlash::busy() const {
    return now_() < busy_until_;
}

void SpiFlash::start_busy(uint32_t us) {
    busy_until_ = now_() + us * 1e-6;
}

uint8_t SpiFlash::status() const {
    return static_cast<uint8_t>(status_ | (write_enabled_ ? kStatusWriteEnabled : 0) | (busy() ? kStatusBusy : 0));
}

bool SpiFlash::protected_area(uint32_t address, uint32_t length) const {
    const uint32_t bp = (status_ & kStatusBlockProtect) >> 2;
    if (bp == 0) {
        return false;
    }
    // BP = 1 protects the top 1/64, each step doubles it, 7 protects everything.
    const uint32_t covered = size() >> (7 - bp);
    return address + length > size() - covered;
}

std::vector<uint8_t> SpiFlash::sfdp_area() const {
    if (!sfdp) {
        return {};
    }
    const bool large = size() >= kFourByteFrom;
    const bool four = large && four_byte_table;
    std::vector<uint8_t> area(four ? kFourByteTable + 8 : kBasicTable + 64, 0xFF);
    const uint8_t header[] = {'S', 'F', 'D', 'P', 0x06, 0x01, static_cast<uint8_t>(four ? 1 : 0), 0xFF};
    std::copy(std::begin(header), std::end(header), area.begin());
    // Parameter headers: ID LSB, minor, major, length in DWORDs, 24-bit pointer, ID MSB.
    const uint8_t basic[] = {0x00, 0x06, 0x01, 16, kBasicTable, 0, 0, 0xFF};
    std::copy(std::begin(basic), std::end(basic), area.begin() + kSfdpHeaders);
    if (four) {
        const uint8_t four_byte[] = {0x84, 0x00, 0x01, 2, kFourByteTable, 0, 0, 0xFF};
        std::copy(std::begin(four_byte), std::end(four_byte), area.begin() + kSfdpHeaders + 8);
    }

    const uint32_t erase_units[] = {1000, 16000, 128000, 1000000};
    const uint32_t program_units[] = {8, 64};
    const uint32_t chip_units[] = {16000, 256000, 4000000, 64000000};
    std::vector<uint32_t> dw(16, 0);
    // 4 KiB erase 20h everywhere, write granularity 64 bytes or more, address bytes 3 or "3 or 4".
    dw[0] = 0xFF800000u | (large ? 1u << 17 : 0) | 0x20u << 8 | 0xE4 | 0x01;
    dw[1] = size() * 8 - 1;                                  // density in bits, minus one
    dw[7] = 0x0Cu | 0x20u << 8 | 0x0Fu << 16 | 0x52u << 24;  // erase types 1 and 2: 4 KiB 20h, 32 KiB 52h
    dw[8] = 0x10u | 0xD8u << 8;                              // erase type 3: 64 KiB D8h; no type 4
    dw[9] = 0x1u | time_field(times.sector_us, erase_units, 4, 5) << 4 |
            time_field(times.block_us, erase_units, 4, 5) << 11 | time_field(times.block_us, erase_units, 4, 5) << 18;
    dw[10] = 0x1u | log2_of(kPageSize) << 4 | time_field(times.page_us, program_units, 2, 5) << 8 |
             time_field(times.chip_us, chip_units, 4, 5) << 24;
    dw[11] = 0x80000000u;  // no suspend
    dw[13] = 1u << 2;      // busy in bit 0 of the status register (05h)
    if (large) {
        dw[15] = 0x21u << 24 | 0x001u << 14;  // enter with B7h, 4-byte opcodes; exit with E9h
    }
    for (size_t i = 0; i < dw.size(); ++i) {
        put32(area, kBasicTable + static_cast<uint32_t>(4 * i), dw[i]);
    }
    if (four) {
        // 13h read, 12h page program, erase types 1 to 3 with 21h, 5Ch, DCh.
        put32(area, kFourByteTable, 1u << 0 | 1u << 6 | 1u << 9 | 1u << 10 | 1u << 11);
        put32(area, kFourByteTable + 4, 0x21u | 0x5Cu << 8 | 0xDCu << 16 | 0xFFu << 24);
    }
    return area;
}

void SpiFlash::program(uint32_t address, const uint8_t* data, size_t n) {
    // The page buffer keeps the last page's worth of bytes, wrapping inside the page.
    const uint32_t base = address & ~(kPageSize - 1);
    uint32_t offset = address & (kPageSize - 1);
    if (n > kPageSize) {
        offset = static_cast<uint32_t>((offset + n - kPageSize) % kPageSize);
        data += n - kPageSize;
        n = kPageSize;
    }
    for (size_t i = 0; i < n; ++i) {
        memory_[base + (offset + i) % kPageSize] &= data[i];  // programming only clears bits
    }
}

void SpiFlash::erase(uint32_t address, uint32_t block, uint64_t& count, uint32_t us) {
    const uint32_t base = address & ~(block - 1);
    if (protected_area(base, block)) {
        ++counts_.ignored;
        return;
    }
    std::fill(memory_.begin() + base, memory_.begin() + base + block, uint8_t{0xFF});
    ++count;
    start_busy(us);
}

void SpiFlash::frame(const uint8_t* mosi, uint8_t* miso, size_t n) {
    std::fill(miso, miso + n, uint8_t{0xFF});
    ++counts_.frames;
    if (n == 0 || mute_countdown_ == 0) {
        return;
    }
    if (mute_countdown_ > 0) {
        --mute_countdown_;
    }
    const uint8_t op = mosi[0];
    if (op == 0x05) {
        const uint8_t now = status();
        std::fill(miso + 1, miso + n, now);  // the status repeats for as long as the frame lasts
        return;
    }
    if (busy()) {
        ++counts_.ignored;  // a busy flash answers nothing but its status
        return;
    }
    const bool large = size() >= kFourByteFrom;
    const bool four_byte_op =
        large && (op == 0x13 || op == 0x0C || op == 0x12 || op == 0x21 || op == 0x5C || op == 0xDC);
    const size_t address_bytes = four_byte_op || four_byte_mode_ ? 4 : 3;
    uint32_t address = 0;
    for (size_t i = 0; i < address_bytes && 1 + i < n; ++i) {
        address = address << 8 | mosi[1 + i];
    }
    address &= size() - 1;
    const size_t data_at = 1 + address_bytes;
    const bool write_enabled = write_enabled_;
    // Writes, erases and status writes need the latch; each clears it when the frame ends.
    auto needs_latch = [&](size_t exact_length, size_t least_length) {
        const bool ok = write_enabled && (exact_length == 0 ? n >= least_length : n == exact_length);
        write_enabled_ = false;
        if (!ok) {
            ++counts_.ignored;
        }
        return ok;
    };

    switch (op) {
        case 0x9F:
            for (size_t i = 1; i < n && i <= 3; ++i) {
                miso[i] = id[i - 1];
            }
            break;
        case 0x5A: {
            if (!sfdp || n < 5) {
                break;  // a flash without SFDP does not know the command
            }
            const std::vector<uint8_t> area = sfdp_area();
            uint32_t at = static_cast<uint32_t>(mosi[1] << 16 | mosi[2] << 8 | mosi[3]);
            for (size_t i = 5; i < n; ++i, ++at) {
                miso[i] = at < area.size() ? area[at] : 0xFF;
            }
            break;
        }
        case 0x03:
        case 0x13:
        case 0x0B:
        case 0x0C: {
            if ((op == 0x13 || op == 0x0C) && !four_byte_op) {
                break;
            }
            // Fast read: one dummy byte. The address wraps at the end of the chip.
            for (size_t i = data_at + (op == 0x0B || op == 0x0C ? 1 : 0); i < n;) {
                const size_t part = std::min<size_t>(n - i, size() - address);
                std::copy_n(memory_.begin() + address, part, miso + i);
                i += part;
                address = 0;
            }
            break;
        }
        case 0x06:
            write_enabled_ = n == 1;
            break;
        case 0x04:
            write_enabled_ = false;
            break;
        case 0x01:
            if (needs_latch(2, 0)) {
                status_ = static_cast<uint8_t>(mosi[1] & 0xFC);
                ++counts_.status_writes;
                start_busy(times.status_us);
            }
            break;
        case 0x02:
        case 0x12:
            if ((op == 0x12 && !four_byte_op) || !needs_latch(0, data_at + 1)) {
                break;
            }
            if (protected_area(address & ~(kPageSize - 1), kPageSize)) {
                ++counts_.ignored;
                break;
            }
            program(address, mosi + data_at, n - data_at);
            ++counts_.page_programs;
            start_busy(times.page_us);
            break;
        case 0x20:
        case 0x21:
            if ((op == 0x20 || four_byte_op) && needs_latch(data_at, 0)) {
                erase(address, 4096, counts_.erases_4k, times.sector_us);
            }
            break;
        case 0x52:
        case 0x5C:
            if ((op == 0x52 || four_byte_op) && needs_latch(data_at, 0)) {
                erase(address, 32768, counts_.erases_32k, times.block_us);
            }
            break;
        case 0xD8:
        case 0xDC:
            if ((op == 0xD8 || four_byte_op) && needs_latch(data_at, 0)) {
                erase(address, 65536, counts_.erases_64k, times.block_us);
            }
            break;
        case 0xC7:
        case 0x60:
            if (needs_latch(1, 0)) {
                if ((status_ & kStatusBlockProtect) != 0) {
                    ++counts_.ignored;
                    break;
                }
                std::fill(memory_.begin(), memory_.end(), uint8_t{0xFF});
                ++counts_.chip_erases;
                start_busy(times.chip_us);
            }
            break;
        case 0xB7:
        case 0xE9:
            if (large && n == 1) {
                four_byte_mode_ = op == 0xB7;
            }
            break;
        default:
            ++counts_.ignored;
            break;
    }
}

}  // namespace sim
