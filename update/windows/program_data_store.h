// The preserved-block store on Windows: one small file per update-mode device in the machine's
// program-data folder ("<ProgramData>\Brg40mFup\preserved-<device>.bin").
#ifndef BRG40_PROGRAM_DATA_STORE_H
#define BRG40_PROGRAM_DATA_STORE_H

#include <string>

#include "preserved_store.h"

class ProgramDataStore : public PreservedStore {
public:
    bool Save(const std::string& deviceId, const uint8_t (&block)[kPreservedSize]) override;
    bool Load(const std::string& deviceId, uint8_t (&block)[kPreservedSize]) override;
    void Remove(const std::string& deviceId) override;
    std::string Where() const override;
};

#endif
