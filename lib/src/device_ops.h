// Helpers of the version, identity and mode operations that the tests reach directly.
#ifndef BRG40_DEVICE_OPS_H
#define BRG40_DEVICE_OPS_H

#include <cstdint>

#include "brg40firmup.h"

namespace brg40 {

// Reads a version text such as "1, 1, 0, 0": the numbers before and after the first comma
// (leading blanks skipped), each hexadecimal and cut to 8 bits. Returns 0, or -400 (outputs
// untouched) when there is no comma or either number has no digit.
int32_t parse_version_text(const char* text, uint8_t* major, uint8_t* minor);

// Packs the 8-byte reply of the hardware-information command; bits keep their positions.
Brg40HwInfo pack_hw_info(const uint8_t (&reply)[8]);

}  // namespace brg40

#endif
