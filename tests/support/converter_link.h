// The loader's pipes of a simulated converter in this process, as an emulated USB bus reaches them.
#ifndef BRG40_TESTS_CONVERTER_LINK_H
#define BRG40_TESTS_CONVERTER_LINK_H

#include "simulated_update_device.h"
#include "face_link.h"

class ConverterLink : public sim::FaceLink {
public:
    explicit ConverterLink(UpdateDevice& device) : device_(device) {}
    bool update_device_present() override { return device_.reachable(); }
    void pipe_write(const uint8_t* data, size_t size) override { device_.converter().pipe_write(data, size); }
    size_t pipe_read(uint8_t* out, size_t size) override { return device_.converter().pipe_read(out, size); }

private:
    UpdateDevice& device_;
};

#endif
