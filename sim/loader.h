// The converter's resident loader (update mode): 64-byte erase blocks, 16-byte writes and reads,
// the close byte. It answers the command pipe PIPE00 with replies on PIPE01.
// Replies: read 0x01, 0x10, address low, high, upper, then the 16 flash bytes (21 bytes);
// erase and write the command code alone (1 byte); the close byte is not answered.
// Programming only clears bits (new = old AND data), as NOR flash does; a write over bytes that
// are not erased is still carried out but noted as a protocol error.
#ifndef BRG40_SIM_LOADER_H
#define BRG40_SIM_LOADER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "flash.h"

namespace sim {

enum class LoaderFault {
    None,
    NoReply,     // the request is carried out but no reply is produced
    WrongEcho,   // carried out; the reply's byte 0 is the command code with bit 7 flipped
    ShortReply,  // carried out; a read is answered with its first 5 bytes, erase and write with none
    Ignore,      // the request is dropped: nothing is done and nothing answered
};

struct LoaderRecord {
    std::vector<uint8_t> request;  // the block as written to PIPE00
    uint32_t number = 0;           // 1-based count of requests since the loader started
    LoaderFault fault = LoaderFault::None;
};

class Loader {
public:
    explicit Loader(Flash& flash);

    // One block written to the command pipe. Unknown or malformed requests are answered with
    // echo 0xEE and noted in protocol_errors().
    // A write discards a reply that was not read.
    void write(const uint8_t* data, size_t size);

    // Reads from the reply pipe: the waiting reply, up to size bytes. A read shorter than the
    // reply takes its first bytes and drops the rest; a reply is read once. Returns the number of
    // bytes delivered, 0 when no reply is waiting.
    size_t read(uint8_t* out, size_t size);

    // The close byte 0xFF arrived since the last start of a session.
    bool close_requested() const { return close_requested_; }
    // A new update session: clears the close flag and any waiting reply (the transcript stays).
    void start_session();

    // Makes request number `number` (1-based, counting every write since construction) fail.
    void inject(uint32_t number, LoaderFault fault);
    void clear_faults();

    // Recording of the transcript (on by default); fault matrices turn it off to stay cheap.
    void set_recording(bool on) { recording_ = on; }

    uint32_t request_count() const { return count_; }
    const std::vector<LoaderRecord>& transcript() const { return transcript_; }
    const std::vector<std::string>& protocol_errors() const { return errors_; }

private:
    Flash& flash_;
    std::vector<uint8_t> reply_;
    bool close_requested_ = false;
    bool recording_ = true;
    uint32_t count_ = 0;
    std::vector<std::pair<uint32_t, LoaderFault>> faults_;
    std::vector<LoaderRecord> transcript_;
    std::vector<std::string> errors_;
};

}  // namespace sim

#endif
