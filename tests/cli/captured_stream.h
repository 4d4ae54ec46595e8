// A memory stream that a console writes to, read back as a string.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

class Captured {
public:
    Captured() : m_file(open_memstream(&m_buffer, &m_size)) {}
    ~Captured() {
        std::fclose(m_file);
        std::free(m_buffer);
    }
    Captured(const Captured&) = delete;
    Captured& operator=(const Captured&) = delete;
    std::FILE* file() { return m_file; }
    std::string text() {
        std::fflush(m_file);
        return std::string(m_buffer, m_size);
    }

private:
    char* m_buffer = nullptr;
    size_t m_size = 0;
    std::FILE* m_file;
};
