// Reader of compiled resource files (.res) for the resource tests: entries by type, name and
// language, and decoders for dialog templates, string tables, accelerators and icon groups.
#ifndef BRG40_TESTS_RES_FILE_H
#define BRG40_TESTS_RES_FILE_H

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

struct ResEntry {
    uint16_t type;  // numeric types only (named types are skipped)
    uint16_t name;
    uint16_t language;
    Bytes data;
};

// Reads a whole file; empty when it cannot be read.
Bytes ReadWholeFile(const std::string& path);

// Parses a .res file; false on a malformed layout.
bool ParseRes(const Bytes& file, std::vector<ResEntry>& entries);
const ResEntry* FindRes(const std::vector<ResEntry>& entries, uint16_t type, uint16_t name, uint16_t language);

// UTF-16 code units to UTF-8.
std::string Utf8(const std::u16string& text);

struct DialogItem {
    uint32_t style;
    uint32_t exStyle;
    int16_t x, y, cx, cy;
    int32_t id;        // -1 for 0xFFFF (plain template) and 0xFFFFFFFF (extended template)
    std::string cls;   // "#128" for class 0x80 or "button", and so on; else the lower-case name
    std::string text;  // "#128" for an ordinal text
};

struct Dialog {
    bool extended;
    uint32_t style;
    uint32_t exStyle;
    int16_t x, y, cx, cy;
    std::string title;
    uint16_t pointSize;
    uint16_t weight;
    uint8_t italic;
    uint8_t charset;
    std::string font;
    std::vector<DialogItem> items;
};

bool ParseDialog(const Bytes& data, Dialog& dialog);

// String id -> text of one string-table block (16 strings).
bool ParseStringBlock(const Bytes& data, uint16_t blockName, std::vector<std::pair<uint16_t, std::string>>& out);

struct Accelerator {
    uint16_t flags;
    uint16_t key;
    uint16_t command;
};
bool ParseAccelerators(const Bytes& data, std::vector<Accelerator>& out);

struct IconGroupEntry {
    uint8_t width, height;
    uint16_t bitCount;
    uint32_t bytes;
    uint16_t id;
};
bool ParseIconGroup(const Bytes& data, std::vector<IconGroupEntry>& out);

#endif
