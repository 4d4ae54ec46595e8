// The update pipe of the programming run and the closing check, over the update-mode device's pipes.
#ifndef BRG40_DEVICE_UPDATE_PIPE_H
#define BRG40_DEVICE_UPDATE_PIPE_H

#include "update_pipe.h"

// Each call is one WriteUpdatePipe or ReadUpdatePipe: the device is discovered anew every time.
class DeviceUpdatePipe : public UpdatePipe {
public:
    int Write(const uint8_t* data, uint32_t size) override;
    int Read(uint8_t* data, uint32_t size) override;
};

#endif
