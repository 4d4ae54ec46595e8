// Client of the simulator process (brg40sim): builds natively and with MinGW (Winsock), so the
// SG_IO bridge, the update-mode pipe server, Win64 test programs and brg40sim-ctl share it.
//
// Usage:
//   sim::SimClient sim;
//   if (!sim.connect_from_env()) { /* no simulator: BRG40_SIM_PORT / BRG40_SIM_DIR unset or dead */ }
//   sim.command("attach 3 version=1.04");          // text control; answer starts "ok" or "error"
//   sim.scsi(3, request, reply);                     // one pass-through request to LPT3
//   sim.pipe_write(3, block, 16);                    // unit 3's update-mode face: PIPE00
//   size_t got; sim.pipe_read(3, buf, 21, got);      // its PIPE01
//   sim::wire::BenchState st; sim.state(st);         // st.in_update_mode(3) while unit 3 is in update mode
// The connection goes to 127.0.0.1 on the port in BRG40_SIM_PORT, or else on the port written in
// the file "port" of the folder BRG40_SIM_DIR (a Unix path; under Wine it is reached through Z:).
// One client is one connection; calls are not synchronised (lock around them if threads share it).
// Text commands: see sim_commands.h or run `brg40sim-ctl help`.
#ifndef BRG40_SIM_CLIENT_H
#define BRG40_SIM_CLIENT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "../scsi.h"
#include "wire.h"

namespace sim {

class SimClient {
public:
    SimClient() = default;
    ~SimClient();
    SimClient(const SimClient&) = delete;
    SimClient& operator=(const SimClient&) = delete;

    // Connects as described above; false when no port is known or nobody listens.
    bool connect_from_env();
    bool connect(uint16_t port);
    void close();
    bool connected() const;

    // Carries one pass-through request to device LPTn. For a request with a data pointer the
    // buffer's transfer_length bytes go out and the model's buffer comes back into it.
    // false: the simulator could not be reached (reply untouched).
    bool scsi(int lpt, const ScsiRequest& request, ScsiReply& reply, const std::string& block_error = {});

    // Update-mode face of unit lpt. false when it is not in update mode (or no simulator).
    bool pipe_write(int lpt, const uint8_t* data, size_t size);
    bool pipe_read(int lpt, uint8_t* out, size_t size, size_t& got);

    bool state(wire::BenchState& out);

    // A text command (words, "quoted words" kept together). Returns the answer, whose first
    // line is "ok" or "error: ..."; "" when the simulator could not be reached.
    std::string command(const std::string& line);

    // The port the environment names, or 0.
    static uint16_t port_from_env();

private:
    // Sends one request frame and reads the reply frame. false on a broken connection.
    bool exchange(wire::Op op, const std::vector<uint8_t>& body, wire::Status& status, std::vector<uint8_t>& reply);

    intptr_t socket_ = -1;
};

}  // namespace sim

#endif
