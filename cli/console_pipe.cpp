// Tracing and interruption of the update pipe.
#include "console_pipe.h"

ConsolePipe::ConsolePipe(UpdatePipe& link, std::function<bool()> interrupted, Trace* trace)
    : m_link(link), m_interrupted(std::move(interrupted)), m_trace(trace) {}

int ConsolePipe::Write(const uint8_t* data, uint32_t size) {
    if (!m_stopped && m_interrupted && m_interrupted()) {
        m_stopped = true;
    }
    if (m_stopped) {
        if (m_trace) {
            m_trace->Line('=', "interrupted: not sent", data, size);
        }
        return -1;
    }
    if (m_trace) {
        m_trace->Line('>', "loader", data, size);
    }
    ++m_writes;
    const int result = m_link.Write(data, size);
    if (result == -1 && m_trace) {
        m_trace->Line('=', "command pipe did not open");
    }
    return result;
}

int ConsolePipe::Read(uint8_t* data, uint32_t size) {
    if (m_stopped) {
        return -1;  // the reply to a packet that never went out
    }
    const int result = m_link.Read(data, size);
    if (m_trace) {
        if (result == -1) {
            m_trace->Line('=', "reply pipe did not open");
        } else {
            m_trace->Line('<', "loader", data, static_cast<size_t>(result) < size ? result : size);  // what came
        }
    }
    return result;
}
