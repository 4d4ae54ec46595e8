// The words of the simulator's text commands: parsing what a test writes, formatting answers.
#include "command_text.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace sim {

std::string hex(const uint8_t* p, size_t n) {
    std::string out;
    char byte[3];
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(byte, sizeof byte, "%02X", p[i]);
        out += byte;
    }
    return out;
}

std::string hex(const std::vector<uint8_t>& v) {
    return v.empty() ? "-" : hex(v.data(), v.size());
}

bool parse_number(const std::string& text, unsigned long max, unsigned long& value) {
    if (text.empty()) {
        return false;
    }
    const bool is_hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    char* end = nullptr;
    errno = 0;
    value = std::strtoul(text.c_str(), &end, is_hex ? 16 : 10);
    return errno == 0 && *end == '\0' && text[0] != '-' && value <= max;
}

bool parse_hex(const std::string& text, std::vector<uint8_t>& out) {
    out.clear();
    if (text == "-") {
        return true;
    }
    std::string digits;
    for (const char c : text) {
        if (c == ':' || c == ',' || c == ' ') {
            continue;
        }
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return false;
        }
        digits += c;
    }
    if (digits.size() % 2 != 0) {
        return false;
    }
    for (size_t i = 0; i < digits.size(); i += 2) {
        out.push_back(static_cast<uint8_t>(std::strtoul(digits.substr(i, 2).c_str(), nullptr, 16)));
    }
    return true;
}

bool parse_version(const std::string& text, uint8_t& major, uint8_t& minor) {
    const size_t dot = text.find('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == text.size() || dot > 2 || text.size() - dot - 1 > 2) {
        return false;
    }
    for (size_t i = 0; i < text.size(); ++i) {
        if (i != dot && !std::isxdigit(static_cast<unsigned char>(text[i]))) {
            return false;
        }
    }
    major = static_cast<uint8_t>(std::strtoul(text.substr(0, dot).c_str(), nullptr, 16));
    minor = static_cast<uint8_t>(std::strtoul(text.substr(dot + 1).c_str(), nullptr, 16));
    return true;
}

bool port_path_ok(const std::string& text) {
    const size_t dash = text.find('-');
    const auto digits = [](const std::string& part) {
        return !part.empty() && part.size() <= 3 && part.find_first_not_of("0123456789") == std::string::npos &&
               part[0] != '0';
    };
    return dash != std::string::npos && digits(text.substr(0, dash)) && digits(text.substr(dash + 1));
}

std::string error(const std::string& why) {
    return "error: " + why;
}

}  // namespace sim
