// What the update-mode face needs from the simulated converter: whether a plugged-in converter is in
// update mode now, and its loader's two pipe ends.
#ifndef BRG40_SIM_PIPES_FACE_LINK_H
#define BRG40_SIM_PIPES_FACE_LINK_H

#include <cstddef>
#include <cstdint>

namespace sim {

class FaceLink {
public:
    virtual ~FaceLink() = default;
    // True while a plugged-in converter is in update mode; false also when the simulator is gone.
    virtual bool update_device_present() = 0;
    // One block that a host wrote to PIPE00.
    virtual void pipe_write(const uint8_t* data, size_t size) = 0;
    // The loader's waiting reply, up to size bytes; 0 when none is waiting.
    virtual size_t pipe_read(uint8_t* out, size_t size) = 0;
};

}  // namespace sim

#endif
