// The words of the simulator's text commands: numbers, hex bytes and versions as a test writes
// them, and the same as the simulator answers them.
#ifndef BRG40_SIM_COMMAND_TEXT_H
#define BRG40_SIM_COMMAND_TEXT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// Bytes as hex digits without separators ("-" for none in the vector form).
std::string hex(const uint8_t* p, size_t n);
std::string hex(const std::vector<uint8_t>& v);

// "0x1F" or "31"; false for anything else or a value above max.
bool parse_number(const std::string& text, unsigned long max, unsigned long& value);

// Hex digits, optionally separated by ':' ',' or ' '; "-" is no bytes.
bool parse_hex(const std::string& text, std::vector<uint8_t>& out);

// "1.04": major and minor as the tool shows them (VersionText), so both parts are hex.
bool parse_version(const std::string& text, uint8_t& major, uint8_t& minor);

// A USB device name as sysfs gives it on a root-hub port: "<bus>-<port>", both decimal ("1-3").
bool port_path_ok(const std::string& text);

// An answer that reports a refused command.
std::string error(const std::string& why);

}  // namespace sim

#endif
