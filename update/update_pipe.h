// The two transfers to the update-mode device, as the loader protocol uses them.
#ifndef BRG40_UPDATE_PIPE_H
#define BRG40_UPDATE_PIPE_H

#include <cstdint>
#include <string>

class UpdatePipe {
public:
    virtual ~UpdatePipe() = default;
    // Sends one block on the command pipe. -1 when the pipe could not be opened (nothing sent);
    // otherwise nonzero. The result does not tell whether the transfer itself succeeded.
    virtual int Write(const uint8_t* data, uint32_t size) = 0;
    // Reads the device's next reply, up to size bytes, into data. -1 when the pipe could not be
    // opened (data untouched); otherwise the count of bytes that came (0 when none). Bytes not
    // delivered keep what the caller left there.
    virtual int Read(uint8_t* data, uint32_t size) = 0;
    // Which device the last transfer reached, as a name that stays the same for that device across
    // its update sessions and differs between devices (for a Windows interface path, its
    // device-instance part); empty when no device was reached.
    virtual std::string DeviceId() = 0;
};

#endif
