// Hex and file byte input, and hex output.
#include "byte_input.h"

#include "file_open.h"

#include <cstdio>

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// One word of hex: "0x1f", "1f", "ff20a0" (pairs), "f" (one digit). Commas between bytes are allowed.
bool ParseHexWord(std::string word, std::vector<uint8_t>& out) {
    if (!word.empty() && word.back() == ',') {
        word.pop_back();
    }
    if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
        word = word.substr(2);
    }
    if (word.empty()) {
        return false;
    }
    if (word.size() % 2 == 1) {
        word.insert(word.begin(), '0');
    }
    for (size_t i = 0; i < word.size(); i += 2) {
        const int high = HexDigit(word[i]);
        const int low = HexDigit(word[i + 1]);
        if (high < 0 || low < 0) {
            return false;
        }
        out.push_back(static_cast<uint8_t>(high << 4 | low));
    }
    return true;
}

}  // namespace

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& out) {
    std::FILE* file = OpenFile(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    uint8_t chunk[4096];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        out.insert(out.end(), chunk, chunk + got);
    }
    const bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}

bool WriteFileBytes(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* file = OpenFile(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

bool ParseBytes(const std::vector<std::string>& words, size_t maxSize, std::vector<uint8_t>& out, std::string& error) {
    for (const std::string& word : words) {
        if (!word.empty() && word[0] == '@') {
            if (!ReadFileBytes(word.substr(1), out)) {
                error = "cannot read " + word.substr(1);
                return false;
            }
        } else if (!ParseHexWord(word, out)) {
            error = "not hex bytes: " + word;
            return false;
        }
        if (out.size() > maxSize) {
            error = "more than " + std::to_string(maxSize) + " bytes";
            return false;
        }
    }
    return true;
}

std::string HexLine(const uint8_t* data, size_t size) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string line;
    for (size_t i = 0; i < size; ++i) {
        if (i > 0) {
            line += ' ';
        }
        line += kDigits[data[i] >> 4];
        line += kDigits[data[i] & 0x0F];
    }
    return line;
}
