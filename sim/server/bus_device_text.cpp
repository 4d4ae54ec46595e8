// Setting up and reporting the SPI flash and the I2C memories of a simulated converter.
#include "bus_device_text.h"

#include <algorithm>
#include <cstdio>

#include "command_text.h"

namespace sim {

namespace {

struct TimeSetting {
    const char* name;
    uint32_t SpiFlashTimes::*member;
};
const TimeSetting kTimeSettings[] = {
    {"page-us", &SpiFlashTimes::page_us},     {"sector-us", &SpiFlashTimes::sector_us},
    {"block-us", &SpiFlashTimes::block_us},   {"chip-us", &SpiFlashTimes::chip_us},
    {"status-us", &SpiFlashTimes::status_us},
};

std::string flash_state(const SpiFlash& f) {
    const SpiFlashCounts& n = f.counts();
    char text[400];
    std::snprintf(text, sizeof text,
                  "size=%u id=%s sfdp=%d status=%02X addr4=%d muted=%d frames=%llu programs=%llu erase4k=%llu "
                  "erase32k=%llu erase64k=%llu chip-erases=%llu status-writes=%llu ignored=%llu",
                  f.size(), hex(f.id, 3).c_str(), f.sfdp ? 1 : 0, f.status(), f.four_byte_mode() ? 1 : 0,
                  f.muted() ? 1 : 0, static_cast<unsigned long long>(n.frames),
                  static_cast<unsigned long long>(n.page_programs), static_cast<unsigned long long>(n.erases_4k),
                  static_cast<unsigned long long>(n.erases_32k), static_cast<unsigned long long>(n.erases_64k),
                  static_cast<unsigned long long>(n.chip_erases), static_cast<unsigned long long>(n.status_writes),
                  static_cast<unsigned long long>(n.ignored));
    return text;
}

// One KEY=VALUE setting; an error text, or empty.
std::string apply(std::unique_ptr<SpiFlash>& flash, const std::string& key, const std::string& value) {
    unsigned long number = 0;
    if (key == "size") {
        const unsigned long most = SpiFlash::kMaxSize >> 20;
        if (!parse_number(value, most, number) || number == 0 || (number & (number - 1)) != 0) {
            return "size is a power of two from 1 to " + std::to_string(most) + " (MiB): " + value;
        }
        flash.reset(new SpiFlash(static_cast<uint32_t>(number << 20)));
        return "";
    }
    if (!flash) {
        flash.reset(new SpiFlash(SpiFlash::kMinSize));
    }
    std::vector<uint8_t> bytes;
    for (const TimeSetting& t : kTimeSettings) {
        if (key == t.name) {
            if (!parse_number(value, 100000000ul, number)) {
                return key + " is microseconds up to 100 s: " + value;
            }
            flash->times.*t.member = static_cast<uint32_t>(number);
            return "";
        }
    }
    if (key == "id") {
        if (!parse_hex(value, bytes) || bytes.size() != 3) {
            return "id is three hex bytes: " + value;
        }
        std::copy(bytes.begin(), bytes.end(), flash->id);
    } else if (key == "sfdp" || key == "sfdp-4byte" || key == "mute") {
        if (value != "0" && value != "1") {
            return key + " is 0 or 1: " + value;
        }
        if (key == "sfdp") {
            flash->sfdp = value == "1";
        } else if (key == "sfdp-4byte") {
            flash->four_byte_table = value == "1";
        } else {
            flash->mute_after(value == "1" ? 0 : -1);
        }
    } else if (key == "status") {
        if (!parse_number(value, 255, number)) {
            return "status is a byte: " + value;
        }
        flash->set_status(static_cast<uint8_t>(number));
    } else if (key == "mute-after") {
        if (!parse_number(value, 0x7FFFFFFFul, number)) {
            return "mute-after is a count of frames: " + value;
        }
        flash->mute_after(static_cast<long>(number));
    } else {
        return "unknown spiflash setting: " + key;
    }
    return "";
}

}  // namespace

const char kSpiFlashUsage[] =
    "N [off] [size=MIB] [id=HEX] [sfdp=0|1] [sfdp-4byte=0|1] [status=BYTE] [page-us=U] [sector-us=U]"
    " [block-us=U] [chip-us=U] [status-us=U] [mute=0|1] [mute-after=FRAMES]"
    "  (size makes a new erased chip; answers its state)";

std::string spi_flash_command(Converter& converter, const std::vector<std::string>& words) {
    for (const std::string& word : words) {
        if (word == "off") {
            converter.spi_flash.reset();
            continue;
        }
        const size_t eq = word.find('=');
        const std::string failure = eq == std::string::npos
                                        ? "settings are KEY=VALUE: " + word
                                        : apply(converter.spi_flash, word.substr(0, eq), word.substr(eq + 1));
        if (!failure.empty()) {
            return error(failure);
        }
    }
    return converter.spi_flash ? "ok\n" + flash_state(*converter.spi_flash) : "ok\nnone";
}

std::string spi_flash_file(Converter& converter, bool load, const std::string& path, const std::string& offset) {
    if (!converter.spi_flash) {
        return error("no spiflash on this converter");
    }
    std::vector<uint8_t>& memory = converter.spi_flash->memory();
    unsigned long at = 0;
    if (!offset.empty() && !parse_number(offset, memory.size(), at)) {
        return error("offset within the chip: " + offset);
    }
    std::FILE* file = std::fopen(path.c_str(), load ? "rb" : "wb");
    if (file == nullptr) {
        return error("cannot open " + path);
    }
    size_t moved = 0;
    if (load) {
        moved = std::fread(memory.data() + at, 1, memory.size() - at, file);
    } else {
        moved = std::fwrite(memory.data(), 1, memory.size(), file);
    }
    const bool closed = std::fclose(file) == 0;
    if (!closed || (!load && moved != memory.size())) {
        return error("short write to " + path);
    }
    return "ok\n" + std::to_string(moved);
}

std::string i2c_memory_command(Converter& converter, const std::vector<std::string>& words) {
    unsigned long address = 0;
    if (words.empty() || !parse_number(words[0], 0x7F, address)) {
        return error("a 7-bit address: " + (words.empty() ? std::string() : words[0]));
    }
    const uint8_t at = static_cast<uint8_t>(address);
    if (words.size() > 1 && words[1] == "off") {
        converter.i2c_memories.erase(at);
        return "ok";
    }
    I2cMemory& memory = converter.i2c_memories[at];
    if (words.size() > 1) {
        std::vector<uint8_t> bytes;
        if (!parse_hex(words[1], bytes) || bytes.size() > memory.bytes.size()) {
            return error("at most 256 hex bytes: " + words[1]);
        }
        memory.bytes.assign(256, 0xFF);
        std::copy(bytes.begin(), bytes.end(), memory.bytes.begin());
    }
    return "ok\n" + hex(memory.bytes);
}

}  // namespace sim
