// The update pipe as brg40 drives it: traced, and stopped between two exchanges once the user
// interrupts, so that no packet goes out half and no exchange is cut in two.
#ifndef BRG40_CLI_CONSOLE_PIPE_H
#define BRG40_CLI_CONSOLE_PIPE_H

#include <functional>

#include "trace.h"
#include "update_pipe.h"

class ConsolePipe : public UpdatePipe {
public:
    // link: the pipes to the device; interrupted: true once the user asked to stop; trace: may be null.
    ConsolePipe(UpdatePipe& link, std::function<bool()> interrupted, Trace* trace);

    // Before a packet goes out the interruption is looked at: once it is there, this and every
    // later transfer is refused as a pipe that cannot be opened (nothing sent, nothing read).
    int Write(const uint8_t* data, uint32_t size) override;
    int Read(uint8_t* data, uint32_t size) override;
    std::string DeviceId() override { return m_link.DeviceId(); }

    bool Stopped() const { return m_stopped; }
    long Writes() const { return m_writes; }  // packets sent

private:
    UpdatePipe& m_link;
    std::function<bool()> m_interrupted;
    Trace* m_trace;
    bool m_stopped = false;
    long m_writes = 0;
};

#endif
