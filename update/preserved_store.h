// Where the device's preserved block is kept between runs of the tool, one copy per device, so
// that an update stopped after the last erase cannot lose it even when the tool is closed.
#ifndef BRG40_PRESERVED_STORE_H
#define BRG40_PRESERVED_STORE_H

#include <cstdint>
#include <string>

#include "firmware_image.h"

class PreservedStore {
public:
    virtual ~PreservedStore() = default;
    // Replaces the copy kept for deviceId, all or nothing: after a failure or a crash the old
    // copy (or none) is there, never part of the new one. False when it could not be written.
    virtual bool Save(const std::string& deviceId, const uint8_t (&block)[kPreservedSize]) = 0;
    // The copy kept for deviceId; false when there is none (or it cannot be read whole).
    virtual bool Load(const std::string& deviceId, uint8_t (&block)[kPreservedSize]) = 0;
    // Forgets the copy kept for deviceId, if any.
    virtual void Remove(const std::string& deviceId) = 0;
    // Where the copies are kept, for a person: a folder.
    virtual std::string Where() const = 0;
};

#endif
