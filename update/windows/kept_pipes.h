// The update pipe as brg40 uses it on Windows: both pipes of the update-mode device opened at the
// first transfer and kept open for all that follow.
#ifndef BRG40_KEPT_PIPES_H
#define BRG40_KEPT_PIPES_H

#include <windows.h>

#include <string>

#include "device_names.h"
#include "update_pipe.h"

// Pinned to one device, by its interface path: a transfer that fails closes both pipes, and the
// next transfer opens them again below the same path, never another device's. Write and Read keep
// the contract of UpdatePipe (-1: could not be opened).
class KeptPipes : public UpdatePipe {
public:
    explicit KeptPipes(std::string interfacePath);
    ~KeptPipes() override;
    KeptPipes(const KeptPipes&) = delete;
    KeptPipes& operator=(const KeptPipes&) = delete;

    int Write(const uint8_t* data, uint32_t size) override;
    int Read(uint8_t* data, uint32_t size) override;
    std::string DeviceId() override { return m_device; }

private:
    bool Open();
    void Close();
    int Transfer(uint8_t* data, uint32_t size, bool toDevice);

    const std::string m_path;
    HANDLE m_command = INVALID_HANDLE_VALUE;
    HANDLE m_reply = INVALID_HANDLE_VALUE;
    HANDLE m_event;        // one event for every transfer: a new one each time costs a system call twice
    std::string m_device;  // the device-instance part of the pipes' path, while they are open
};

#endif
