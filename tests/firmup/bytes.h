// Byte vectors written as lists of small integers, for expected packets and replies.
#ifndef BRG40_TESTS_BYTES_H
#define BRG40_TESTS_BYTES_H

#include <cstdint>
#include <initializer_list>
#include <vector>

inline std::vector<uint8_t> Bytes(std::initializer_list<int> list) {
    std::vector<uint8_t> out;
    for (int b : list) {
        out.push_back(static_cast<uint8_t>(b));
    }
    return out;
}

#endif
