// What the bridges need from the simulated converters: the bench's state (which units answer in
// normal mode, which are in update mode, where each sits on the USB bus), one unit's normal-mode
// requests, and the two pipe ends of one unit's loader.
#ifndef BRG40_SIM_PIPES_FACE_LINK_H
#define BRG40_SIM_PIPES_FACE_LINK_H

#include <cstddef>
#include <cstdint>

#include "wire.h"

namespace sim {

class FaceLink {
public:
    virtual ~FaceLink() = default;
    // The bench now; false when the simulator is gone.
    virtual bool state(wire::BenchState& out) = 0;
    // One pass-through request to unit lpt in normal mode; false when the simulator is gone.
    virtual bool scsi(int lpt, const ScsiRequest& request, ScsiReply& reply) = 0;
    // One block that a host wrote to unit lpt's PIPE00.
    virtual void pipe_write(int lpt, const uint8_t* data, size_t size) = 0;
    // Unit lpt's waiting reply, up to size bytes; 0 when none is waiting.
    virtual size_t pipe_read(int lpt, uint8_t* out, size_t size) = 0;
};

}  // namespace sim

#endif
