// The update pipe of the programming run and the closing check, over the update-mode device's pipes.
#ifndef BRG40_DEVICE_UPDATE_PIPE_H
#define BRG40_DEVICE_UPDATE_PIPE_H

#include <string>

#include "update_pipe.h"

// Each call is one WriteUpdatePipe or ReadUpdatePipe: the device is discovered anew every time.
class DeviceUpdatePipe : public UpdatePipe {
public:
    int Write(const uint8_t* data, uint32_t size) override;
    int Read(uint8_t* data, uint32_t size) override;
    std::string DeviceId() override { return m_strDevice; }

private:
    // After each transfer: the device-instance part of the path it opened, or empty.
    void NoteDevice(int result);

    std::string m_strDevice;
};

#endif
