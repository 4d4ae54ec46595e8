// The update pipe over WriteUpdatePipe and ReadUpdatePipe.
#include "device_update_pipe.h"

#include "device_names.h"
#include "update_device.h"

int DeviceUpdatePipe::Write(const uint8_t* data, uint32_t size) {
    const int result = WriteUpdatePipe(data, size);
    NoteDevice(result);
    return result;
}

int DeviceUpdatePipe::Read(uint8_t* data, uint32_t size) {
    DWORD received = 0;
    const int result = ReadUpdatePipe(data, size, &received);
    NoteDevice(result);
    return result == -1 ? -1 : static_cast<int>(received);
}

void DeviceUpdatePipe::NoteDevice(int result) {
    // completeDeviceName holds the path of the device the transfer opened, and the pipe name.
    m_strDevice = result == -1 ? std::string() : DeviceInstanceOfPath(completeDeviceName);
}
