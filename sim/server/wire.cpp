// Encoding and decoding of the simulator's frames.
#include "wire.h"

#include <cstring>

namespace sim {
namespace wire {

void Writer::u16(uint16_t v) {
    u8(static_cast<uint8_t>(v));
    u8(static_cast<uint8_t>(v >> 8));
}

void Writer::u32(uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) {
        u8(static_cast<uint8_t>(v >> shift));
    }
}

void Writer::blob(const std::vector<uint8_t>& v) {
    u32(static_cast<uint32_t>(v.size()));
    bytes(v.data(), v.size());
}

void Writer::text(const std::string& s) {
    u32(static_cast<uint32_t>(s.size()));
    bytes(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

uint8_t Reader::u8() {
    if (pos_ >= n_) {
        ok_ = false;
        return 0;
    }
    return p_[pos_++];
}

uint16_t Reader::u16() {
    const uint16_t lo = u8();
    return static_cast<uint16_t>(lo | u8() << 8);
}

uint32_t Reader::u32() {
    uint32_t v = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        v |= static_cast<uint32_t>(u8()) << shift;
    }
    return v;
}

bool Reader::bytes(uint8_t* out, size_t n) {
    if (n > n_ - pos_) {
        ok_ = false;
        pos_ = n_;
        return false;
    }
    if (n != 0) {
        std::memcpy(out, p_ + pos_, n);
    }
    pos_ += n;
    return true;
}

std::vector<uint8_t> Reader::blob() {
    const uint32_t n = u32();
    if (!ok_ || n > n_ - pos_) {
        ok_ = false;
        return {};
    }
    std::vector<uint8_t> v(p_ + pos_, p_ + pos_ + n);
    pos_ += n;
    return v;
}

std::string Reader::text() {
    const std::vector<uint8_t> v = blob();
    return std::string(v.begin(), v.end());
}

std::vector<uint8_t> frame(uint8_t kind, const std::vector<uint8_t>& body) {
    std::vector<uint8_t> out;
    out.reserve(kFrameHeader + body.size());
    Writer w(out);
    w.u32(static_cast<uint32_t>(body.size() + 1));
    w.u8(kind);
    w.bytes(body.data(), body.size());
    return out;
}

long frame_length(const uint8_t* p, size_t n) {
    if (n < 4) {
        return 0;
    }
    const uint32_t rest = static_cast<uint32_t>(p[0] | p[1] << 8 | p[2] << 16) | static_cast<uint32_t>(p[3]) << 24;
    if (rest == 0 || rest > kMaxFrame) {
        return -1;
    }
    return static_cast<long>(rest) + 4;
}

std::vector<uint8_t> encode(const ScsiCall& call) {
    std::vector<uint8_t> out;
    Writer w(out);
    const ScsiRequest& r = call.request;
    w.u8(static_cast<uint8_t>(call.lpt));
    w.u8(r.cdb_length);
    w.bytes(r.cdb, sizeof r.cdb);
    w.u8(static_cast<uint8_t>(r.direction));
    w.u32(r.transfer_length);
    w.u32(r.timeout_s);
    w.u8(static_cast<uint8_t>((call.has_data ? 1 : 0) | (r.block_was_clean ? 2 : 0)));
    w.text(call.block_error);
    w.blob(call.data);
    return out;
}

bool decode(const uint8_t* p, size_t n, ScsiCall& call) {
    Reader rd(p, n);
    ScsiRequest& r = call.request;
    call.lpt = rd.u8();
    r.cdb_length = rd.u8();
    rd.bytes(r.cdb, sizeof r.cdb);
    const uint8_t dir = rd.u8();
    r.direction = dir == 1 ? Direction::In : Direction::Out;
    r.transfer_length = rd.u32();
    r.timeout_s = rd.u32();
    const uint8_t flags = rd.u8();
    call.has_data = (flags & 1) != 0;
    r.block_was_clean = (flags & 2) != 0;
    r.data = nullptr;
    call.block_error = rd.text();
    call.data = rd.blob();
    return rd.ok() && rd.at_end() && dir <= 1 && r.cdb_length <= sizeof r.cdb;
}

std::vector<uint8_t> encode(const ScsiOutcome& outcome) {
    std::vector<uint8_t> out;
    Writer w(out);
    w.u32(outcome.reply.os_error);
    w.bytes(outcome.reply.sense, sizeof outcome.reply.sense);
    w.u8(outcome.has_data ? 1 : 0);
    w.blob(outcome.data);
    return out;
}

bool decode(const uint8_t* p, size_t n, ScsiOutcome& outcome) {
    Reader rd(p, n);
    outcome.reply.os_error = rd.u32();
    rd.bytes(outcome.reply.sense, sizeof outcome.reply.sense);
    outcome.has_data = rd.u8() != 0;
    outcome.data = rd.blob();
    return rd.ok() && rd.at_end();
}

const UnitState* BenchState::unit(int lpt) const {
    for (const UnitState& u : units) {
        if (u.lpt == lpt) {
            return &u;
        }
    }
    return nullptr;
}

std::vector<uint8_t> encode(const BenchState& state) {
    std::vector<uint8_t> out;
    Writer w(out);
    w.u32(state.generation);
    w.u16(state.lpt_mask);
    w.u16(state.update_mask);
    w.u8(static_cast<uint8_t>(state.units.size()));
    for (const UnitState& u : state.units) {
        w.u8(u.lpt);
        w.text(u.port);
        w.text(u.serial);
        w.text(u.vendor);
        w.text(u.product);
    }
    return out;
}

bool decode(const uint8_t* p, size_t n, BenchState& state) {
    Reader rd(p, n);
    state.generation = rd.u32();
    state.lpt_mask = rd.u16();
    state.update_mask = rd.u16();
    const uint8_t count = rd.u8();
    state.units.clear();
    for (uint8_t i = 0; i < count && rd.ok(); ++i) {
        UnitState u;
        u.lpt = rd.u8();
        u.port = rd.text();
        u.serial = rd.text();
        u.vendor = rd.text();
        u.product = rd.text();
        state.units.push_back(u);
    }
    return rd.ok() && rd.at_end();
}

}  // namespace wire
}  // namespace sim
