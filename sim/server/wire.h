// Wire format between the simulator process and its clients (the SG_IO bridge, the update-mode
// pipe server, Win64 test programs, brg40sim-ctl): length-prefixed frames over one TCP stream.
// Portable: builds with g++ and MinGW; integers are little-endian on the wire.
#ifndef BRG40_SIM_WIRE_H
#define BRG40_SIM_WIRE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "../scsi.h"

namespace sim {
namespace wire {

// A frame: u32 length of what follows, then one byte (the operation of a request, the status of
// a reply), then the body.
enum class Op : uint8_t {
    Scsi = 1,       // one pass-through request to device LPTn
    PipeWrite = 2,  // a block written to the command pipe of unit N's update-mode device
    PipeRead = 3,   // a read from its reply pipe
    Text = 4,       // a control command in words; the answer is text
    State = 5,      // which devices are reachable, and a counter of changes
};

enum class Status : uint8_t { Ok = 0, NoDevice = 1, Malformed = 2 };

constexpr uint32_t kMaxFrame = 1u << 20;  // more than a 65535-byte transfer plus its header
constexpr size_t kFrameHeader = 5;

// A pass-through request as the bridge saw it. The data buffer travels both ways: its bytes go
// out with the request (the caller's data out, or what the caller's in-buffer held) and come
// back with the reply, so a failed command leaves the buffer as the model left it.
struct ScsiCall {
    int lpt = 0;
    ScsiRequest request;    // request.data is ignored here; see data
    bool has_data = false;  // the caller gave a data pointer
    std::vector<uint8_t> data;
    std::string block_error;  // nonempty: the bridge found the caller's block malformed
};

struct ScsiOutcome {
    ScsiReply reply;
    bool has_data = false;
    std::vector<uint8_t> data;
};

// One attached unit as the bridges show it: its number (LPTn), where it sits on the USB bus, the
// serial its present face reports (empty: none), and the vendor and product its SCSI device
// reports in normal mode.
struct UnitState {
    uint8_t lpt = 0;
    std::string port;
    std::string serial;
    std::string vendor;
    std::string product;
};

// Reachability now: bit n of lpt_mask set when LPTn answers in normal mode, of update_mask when
// unit n is plugged in and in update mode; units lists every attached unit. generation grows by
// one at every change of any of them.
struct BenchState {
    uint32_t generation = 0;
    uint16_t lpt_mask = 0;
    uint16_t update_mask = 0;
    std::vector<UnitState> units;

    bool in_update_mode(int lpt) const { return (update_mask >> lpt & 1) != 0; }
    const UnitState* unit(int lpt) const;
};

class Writer {
public:
    explicit Writer(std::vector<uint8_t>& out) : out_(out) {}
    void u8(uint8_t v) { out_.push_back(v); }
    void u16(uint16_t v);
    void u32(uint32_t v);
    void bytes(const uint8_t* p, size_t n) { out_.insert(out_.end(), p, p + n); }
    void blob(const std::vector<uint8_t>& v);  // u32 length, then the bytes
    void text(const std::string& s);           // u32 length, then the bytes

private:
    std::vector<uint8_t>& out_;
};

// Reads a body; any read past the end sets ok() false and yields zeros.
class Reader {
public:
    Reader(const uint8_t* p, size_t n) : p_(p), n_(n) {}
    uint8_t u8();
    uint16_t u16();
    uint32_t u32();
    bool bytes(uint8_t* out, size_t n);
    std::vector<uint8_t> blob();
    std::string text();
    bool ok() const { return ok_; }
    bool at_end() const { return pos_ == n_; }

private:
    const uint8_t* p_;
    size_t n_;
    size_t pos_ = 0;
    bool ok_ = true;
};

// Frame = header (length, op or status) + body.
std::vector<uint8_t> frame(uint8_t kind, const std::vector<uint8_t>& body);
// Length of the frame that starts at p, or 0 when the header is incomplete; -1 if it is too long.
long frame_length(const uint8_t* p, size_t n);

std::vector<uint8_t> encode(const ScsiCall& call);
bool decode(const uint8_t* p, size_t n, ScsiCall& call);
std::vector<uint8_t> encode(const ScsiOutcome& outcome);
bool decode(const uint8_t* p, size_t n, ScsiOutcome& outcome);
std::vector<uint8_t> encode(const BenchState& state);
bool decode(const uint8_t* p, size_t n, BenchState& state);

}  // namespace wire
}  // namespace sim

#endif
