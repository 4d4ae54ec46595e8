// The trace lines of brg40 --trace.
#include "trace.h"

#include "byte_input.h"

Trace::Trace(std::FILE* err, std::function<double()> now) : m_err(err), m_now(std::move(now)), m_start(m_now()) {}

void Trace::Line(char direction, const std::string& what, const uint8_t* data, size_t size) {
    const std::string bytes = data != nullptr && size > 0 ? "  " + HexLine(data, size) : "";
    std::fprintf(m_err, "[%11.6f] %c %s%s\n", m_now() - m_start, direction, what.c_str(), bytes.c_str());
}
