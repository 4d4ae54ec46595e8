// Bytes given on the command line: hex words ("0x1f 20 ff", "1f20ff") or "@file" for a file's
// raw contents.
#ifndef BRG40_CLI_BYTE_INPUT_H
#define BRG40_CLI_BYTE_INPUT_H

#include <cstdint>
#include <string>
#include <vector>

// Appends the bytes of the words to out; a word "@path" brings the file's bytes. False with a
// reason in error on a word that is not hex or a file that cannot be read. maxSize: the most the
// command can take.
bool ParseBytes(const std::vector<std::string>& words, size_t maxSize, std::vector<uint8_t>& out, std::string& error);

// "1F 20 FF" (upper case, one space between bytes).
std::string HexLine(const uint8_t* data, size_t size);

// Reads a whole file; false when it cannot be opened or read.
bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& out);
// Writes the bytes to a file; false on any failure.
bool WriteFileBytes(const std::string& path, const uint8_t* data, size_t size);

#endif
