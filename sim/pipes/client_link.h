// The update-mode face's view of the simulator process, through its client connection.
#ifndef BRG40_SIM_PIPES_CLIENT_LINK_H
#define BRG40_SIM_PIPES_CLIENT_LINK_H

#include "sim_client.h"
#include "face_link.h"

namespace sim {

// Not synchronised: the caller holds one lock around every call (the connection is one stream).
class ClientLink : public FaceLink {
public:
    explicit ClientLink(SimClient& client) : client_(client) {}

    bool update_device_present() override;
    void pipe_write(const uint8_t* data, size_t size) override;
    size_t pipe_read(uint8_t* out, size_t size) override;

    // False once the simulator could not be reached.
    bool alive() const { return alive_; }

private:
    SimClient& client_;
    bool alive_ = true;
};

}  // namespace sim

#endif
