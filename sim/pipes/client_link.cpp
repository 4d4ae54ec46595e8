// The update-mode face's calls on the simulator: its state, and the loader's two pipe ends.
#include "client_link.h"

namespace sim {

bool ClientLink::update_device_present() {
    wire::BenchState state;
    if (!client_.state(state)) {
        alive_ = false;
        return false;
    }
    return state.update_lpt != 0;
}

void ClientLink::pipe_write(const uint8_t* data, size_t size) {
    client_.pipe_write(data, size);  // false: the device left update mode meanwhile; the block is lost
}

size_t ClientLink::pipe_read(uint8_t* out, size_t size) {
    size_t got = 0;
    if (!client_.pipe_read(out, size, got)) {
        return 0;
    }
    return got;
}

}  // namespace sim
