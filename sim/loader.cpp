// The simulated resident loader: carries out read, erase and write requests on the flash, answers
// them on the reply pipe, notes the close byte, and applies the faults injected by request number.
#include "loader.h"

#include <algorithm>
#include <cstdio>

namespace sim {

namespace {

constexpr uint8_t kRead = 0x01;
constexpr uint8_t kWrite = 0x02;
constexpr uint8_t kErase = 0x03;
constexpr uint8_t kClose = 0xFF;
constexpr uint8_t kMalformedEcho = 0xEE;
constexpr size_t kHeaderSize = 5;
constexpr size_t kWritePacketSize = kHeaderSize + kWriteBlock;

std::string hex_dump(const uint8_t* data, size_t size) {
    std::string out;
    char byte[4];
    for (size_t i = 0; i < size; ++i) {
        std::snprintf(byte, sizeof byte, i ? " %02X" : "%02X", data[i]);
        out += byte;
    }
    return out;
}

// The only addresses the loader programs: the application area, whole blocks of `block` bytes.
bool block_ok(uint32_t address, uint32_t block) {
    return address % block == 0 && address >= kAppStart && address + block <= kFlashSize;
}

}  // namespace

Loader::Loader(Flash& flash) : flash_(flash) {}

void Loader::start_session() {
    close_requested_ = false;
    reply_.clear();
}

void Loader::inject(uint32_t number, LoaderFault fault) {
    faults_.emplace_back(number, fault);
}

void Loader::clear_faults() {
    faults_.clear();
}

void Loader::write(const uint8_t* data, size_t size) {
    ++count_;
    reply_.clear();  // an unread reply does not survive the next request
    LoaderFault fault = LoaderFault::None;
    for (const auto& f : faults_) {
        if (f.first == count_) {
            fault = f.second;
        }
    }
    if (recording_) {
        transcript_.push_back({std::vector<uint8_t>(data, data + size), count_, fault});
    }
    if (fault == LoaderFault::Ignore) {
        return;
    }

    auto malformed = [&](const char* why) {
        char head[96];
        std::snprintf(head, sizeof head, "request %u: %s; received %zu bytes: ", count_, why, size);
        errors_.push_back(head + hex_dump(data, size));
        reply_.assign(1, kMalformedEcho);
    };

    const uint8_t code = size > 0 ? data[0] : 0;
    const uint32_t address = size >= kHeaderSize ? (data[2] | data[3] << 8 | data[4] << 16) : 0;
    if (size == 1 && code == kClose) {
        close_requested_ = true;  // no reply, whatever the fault
        return;
    } else if (size == 0) {
        malformed("empty request");
    } else if (code == kRead) {
        if (size != kHeaderSize || data[1] != kWriteBlock) {
            malformed("read: expected 5 bytes with length 16");
        } else if (!block_ok(address, kWriteBlock)) {
            malformed("read: address not a 16-byte block of 0x000800..0x005FFF");
        } else {
            reply_ = {kRead, data[1], data[2], data[3], data[4]};
            reply_.insert(reply_.end(), &flash_.bytes[address], &flash_.bytes[address] + kWriteBlock);
        }
    } else if (code == kErase) {
        if (size != kHeaderSize || data[1] != 1) {
            malformed("erase: expected 5 bytes with length 1");
        } else if (!block_ok(address, kEraseBlock)) {
            malformed("erase: address not a 64-byte block of 0x000800..0x005FFF");
        } else {
            std::fill_n(&flash_.bytes[address], kEraseBlock, uint8_t{0xFF});
            reply_.assign(1, kErase);
        }
    } else if (code == kWrite) {
        if (size != kWritePacketSize || data[1] != kWriteBlock) {
            malformed("write: expected 21 bytes with length 16");
        } else if (!block_ok(address, kWriteBlock)) {
            malformed("write: address not a 16-byte block of 0x000800..0x005FFF");
        } else {
            uint8_t* cell = &flash_.bytes[address];
            if (!std::all_of(cell, cell + kWriteBlock, [](uint8_t b) { return b == 0xFF; })) {
                char why[64];
                std::snprintf(why, sizeof why, "request %u: write to 0x%06X over bytes not erased", count_, address);
                errors_.push_back(why);
            }
            for (size_t i = 0; i < kWriteBlock; ++i) {
                cell[i] &= data[kHeaderSize + i];  // programming clears bits only
            }
            reply_.assign(1, kWrite);
        }
    } else {
        malformed("unknown command");
    }

    switch (fault) {
        case LoaderFault::NoReply:
            reply_.clear();
            break;
        case LoaderFault::WrongEcho:
            if (!reply_.empty()) {
                reply_[0] ^= 0x80;
            }
            break;
        case LoaderFault::ShortReply:
            reply_.resize(reply_.size() > 1 ? kHeaderSize : 0);
            break;
        default:
            break;
    }
}

size_t Loader::read(uint8_t* out, size_t size) {
    const size_t n = std::min(size, reply_.size());
    std::copy_n(reply_.begin(), n, out);
    reply_.clear();  // a shorter read drops the rest of the reply
    return n;
}

}  // namespace sim
