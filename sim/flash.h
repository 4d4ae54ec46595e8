// The converter's program flash as both faces of the model see it.
#ifndef BRG40_SIM_FLASH_H
#define BRG40_SIM_FLASH_H

#include <array>
#include <cstdint>

#include "../update/image_checksum.h"

namespace sim {

constexpr uint32_t kFlashSize = 0x6000;                  // addresses 0x000000 to 0x005FFF
constexpr uint32_t kAppStart = 0x0800;                   // first address of the application image
constexpr uint32_t kImageSize = kFlashSize - kAppStart;  // 22528
constexpr uint32_t kPreservedAddress = 0x5FE0;           // 16 bytes that belong to the device
constexpr uint32_t kEraseBlock = 64;
constexpr uint32_t kWriteBlock = 16;

struct Flash {
    std::array<uint8_t, kFlashSize> bytes{};

    // Trailer of the image that ends at the top of flash.
    uint16_t stored_checksum() const { return static_cast<uint16_t>(bytes[0x5FF8] | bytes[0x5FF9] << 8); }
    uint16_t computed_checksum() const { return ImageChecksum(&bytes[kAppStart], kImageSize - 9); }
    bool image_intact() const { return stored_checksum() == computed_checksum(); }
    uint8_t version_major() const { return bytes[0x5FFA]; }
    uint8_t version_minor() const { return bytes[0x5FFB]; }
    unsigned version() const { return static_cast<unsigned>(version_major()) << 8 | version_minor(); }
};

}  // namespace sim

#endif
