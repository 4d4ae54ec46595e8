// What the update tool keeps for as long as it runs: the command packet buffer, and the device's
// preserved block as first read, so that a run that stopped after erasing it cannot lose it.
#ifndef BRG40_FIRMUP_STATE_H
#define BRG40_FIRMUP_STATE_H

#include <cstdint>

#include "firmup_protocol.h"

class FirmupProgramState {
public:
    // commandPacket: every request of the programming run and of the closing check is built here.
    CommandPacket commandPacket{};

    // The 16 bytes a run carries into the image, given the preserved block it just read from the
    // device. The first block read that is not erased is kept; a later read that finds the block
    // erased (16 x 0xFF, left by a run that stopped between the last erase and the write of
    // 0x005FE0) gets the kept copy instead. The result stays valid until the next call.
    const uint8_t* PreservedBlockToCarry(const uint8_t* readFromDevice);

    bool HasKeptBlock() const { return m_bKept; }
    const uint8_t* KeptBlock() const { return m_keptBlock; }

private:
    bool m_bKept = false;
    uint8_t m_keptBlock[16] = {};
};

#endif
