// The bridges' calls on the simulator: its state, normal-mode requests, the loaders' pipe ends.
#include "client_link.h"

namespace sim {

bool ClientLink::state(wire::BenchState& out) {
    if (!client_.state(out)) {
        alive_ = false;
        return false;
    }
    return true;
}

bool ClientLink::scsi(int lpt, const ScsiRequest& request, ScsiReply& reply) {
    return client_.scsi(lpt, request, reply);
}

void ClientLink::pipe_write(int lpt, const uint8_t* data, size_t size) {
    client_.pipe_write(lpt, data, size);  // false: the unit left update mode meanwhile; the block is lost
}

size_t ClientLink::pipe_read(int lpt, uint8_t* out, size_t size) {
    size_t got = 0;
    return client_.pipe_read(lpt, out, size, got) ? got : 0;
}

}  // namespace sim
