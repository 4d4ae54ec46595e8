// A simulated converter in this process as the emulated machine reaches it: unit 1 at port 1-2,
// without a serial, in whichever mode the device is.
#ifndef BRG40_TESTS_CONVERTER_LINK_H
#define BRG40_TESTS_CONVERTER_LINK_H

#include "face_link.h"
#include "simulated_update_device.h"

class ConverterLink : public sim::FaceLink {
public:
    explicit ConverterLink(UpdateDevice& device) : device_(device) {}
    bool state(sim::wire::BenchState& out) override {
        sim::Converter& c = device_.converter();
        out = sim::wire::BenchState{};
        out.lpt_mask = c.plugged() && c.mode() == sim::Mode::Normal ? 1u << 1 : 0;
        out.update_mask = device_.reachable() ? 1u << 1 : 0;
        out.units.push_back({1, "1-2", "", c.identity().vendor, c.identity().product});
        return true;
    }
    bool scsi(int, const sim::ScsiRequest& request, sim::ScsiReply& reply) override {
        reply = device_.converter().scsi(request);
        return true;
    }
    void pipe_write(int, const uint8_t* data, size_t size) override { device_.converter().pipe_write(data, size); }
    size_t pipe_read(int, uint8_t* out, size_t size) override { return device_.converter().pipe_read(out, size); }

private:
    UpdateDevice& device_;
};

#endif
