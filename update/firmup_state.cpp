// The update tool's program-lifetime state: the kept copy of the device's preserved block.
#include "firmup_state.h"

#include <algorithm>
#include <cstring>

const uint8_t* FirmupProgramState::PreservedBlockToCarry(const std::string& deviceId, const uint8_t* readFromDevice) {
    const bool erased =
        std::all_of(readFromDevice, readFromDevice + kPreservedSize, [](uint8_t b) { return b == 0xFF; });
    if (!erased) {
        if (!m_bKept || m_strKeptDevice != deviceId) {
            std::memcpy(m_keptBlock, readFromDevice, kPreservedSize);
            m_strKeptDevice = deviceId;
            m_bKept = true;
        }
        if (m_pStore != nullptr && !deviceId.empty()) {
            // Before the first erase; without a store the copy in memory still serves this run.
            const bool saved = m_pStore->Save(deviceId, m_keptBlock);
            if (!saved && m_bRequireSaved) {
                return nullptr;
            }
        }
        return readFromDevice;
    }
    if (m_bKept && m_strKeptDevice == deviceId) {
        return m_keptBlock;
    }
    uint8_t stored[kPreservedSize];
    if (m_pStore != nullptr && !deviceId.empty() && m_pStore->Load(deviceId, stored)) {
        std::memcpy(m_keptBlock, stored, kPreservedSize);
        m_strKeptDevice = deviceId;
        m_bKept = true;
        return m_keptBlock;
    }
    return readFromDevice;
}

void FirmupProgramState::SessionClosed(const std::string& deviceId) {
    if (m_pStore != nullptr && !deviceId.empty()) {
        m_pStore->Remove(deviceId);
    }
}
