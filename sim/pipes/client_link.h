// The bridges' view of the simulator process, through one client connection.
#ifndef BRG40_SIM_PIPES_CLIENT_LINK_H
#define BRG40_SIM_PIPES_CLIENT_LINK_H

#include "face_link.h"
#include "sim_client.h"

namespace sim {

// Not synchronised: the caller holds one lock around every call (the connection is one stream).
class ClientLink : public FaceLink {
public:
    explicit ClientLink(SimClient& client) : client_(client) {}

    bool state(wire::BenchState& out) override;
    bool scsi(int lpt, const ScsiRequest& request, ScsiReply& reply) override;
    void pipe_write(int lpt, const uint8_t* data, size_t size) override;
    size_t pipe_read(int lpt, uint8_t* out, size_t size) override;

    // False once the simulator could not be reached.
    bool alive() const { return alive_; }

private:
    SimClient& client_;
    bool alive_ = true;
};

}  // namespace sim

#endif
