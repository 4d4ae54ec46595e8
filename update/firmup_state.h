// What the update tool keeps for as long as it runs: the command packet buffer, and the device's
// preserved block as first read, so that a run that stopped after erasing it cannot lose it.
#ifndef BRG40_FIRMUP_STATE_H
#define BRG40_FIRMUP_STATE_H

#include <cstdint>
#include <string>

#include "firmup_protocol.h"
#include "preserved_store.h"

class FirmupProgramState {
public:
    // store: where the block is also kept across runs of the program (may be null: this run only).
    // requireSavedCopy: a block that cannot be saved there stops the run before its first erase
    // (a program that ends after each command has no other copy); without it the copy in memory
    // serves (the dialog keeps it for as long as it runs).
    explicit FirmupProgramState(PreservedStore* store = nullptr, bool requireSavedCopy = false)
        : m_pStore(store), m_bRequireSaved(requireSavedCopy) {}

    // commandPacket: every request of the programming run and of the closing check is built here.
    CommandPacket commandPacket{};

    // The 16 bytes a run carries into the image, given the preserved block it just read from
    // device deviceId, before its first erase. A block that is not erased is kept, in memory and
    // in the store. A block read erased (16 x 0xFF, left by a run that stopped between the last
    // erase and the write of 0x005FE0) gets the copy kept for the same device instead, never one
    // of another device. The result stays valid until the next call. Null when the copy had to be
    // saved and could not be: nothing may be erased then.
    const uint8_t* PreservedBlockToCarry(const std::string& deviceId, const uint8_t* readFromDevice);

    // The close byte went to deviceId after its flash checked out: its block is back in place
    // for good, and the stored copy goes.
    void SessionClosed(const std::string& deviceId);

    bool HasKeptBlock() const { return m_bKept; }
    const uint8_t* KeptBlock() const { return m_keptBlock; }

private:
    PreservedStore* m_pStore;
    bool m_bRequireSaved;
    bool m_bKept = false;
    std::string m_strKeptDevice;
    uint8_t m_keptBlock[kPreservedSize] = {};
};

#endif
