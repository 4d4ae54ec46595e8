// The update tool's program-lifetime state: the kept copy of the device's preserved block.
#include "firmup_state.h"

#include <algorithm>
#include <cstring>

#include "firmware_image.h"

const uint8_t* FirmupProgramState::PreservedBlockToCarry(const uint8_t* readFromDevice) {
    const bool erased = std::all_of(readFromDevice, readFromDevice + kPreservedSize, [](uint8_t b) { return b == 0xFF; });
    if (!erased && !m_bKept) {
        std::memcpy(m_keptBlock, readFromDevice, kPreservedSize);
        m_bKept = true;
    }
    return erased && m_bKept ? m_keptBlock : readFromDevice;
}
