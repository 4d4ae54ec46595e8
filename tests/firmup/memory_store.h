// A preserved-block store in memory, standing for the file kept on disk between runs of the tool.
#ifndef BRG40_TESTS_MEMORY_STORE_H
#define BRG40_TESTS_MEMORY_STORE_H

#include <array>
#include <cstring>
#include <map>
#include <string>

#include "preserved_store.h"

class MemoryStore : public PreservedStore {
public:
    bool Save(const std::string& deviceId, const uint8_t (&block)[kPreservedSize]) override {
        std::memcpy(blocks[deviceId].data(), block, kPreservedSize);
        ++saves;
        return true;
    }
    bool Load(const std::string& deviceId, uint8_t (&block)[kPreservedSize]) override {
        auto it = blocks.find(deviceId);
        if (it == blocks.end()) {
            return false;
        }
        std::memcpy(block, it->second.data(), kPreservedSize);
        return true;
    }
    void Remove(const std::string& deviceId) override { blocks.erase(deviceId); }
    std::string Where() const override { return "memory"; }

    std::map<std::string, std::array<uint8_t, kPreservedSize>> blocks;
    int saves = 0;
};

#endif
