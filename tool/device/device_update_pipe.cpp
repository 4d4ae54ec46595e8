// The update pipe over WriteUpdatePipe and ReadUpdatePipe.
#include "device_update_pipe.h"

#include "update_device.h"

int DeviceUpdatePipe::Write(const uint8_t* data, uint32_t size) {
    return WriteUpdatePipe(data, size);
}

int DeviceUpdatePipe::Read(uint8_t* data, uint32_t size) {
    return ReadUpdatePipe(data, size);
}
