// Reading the SFDP area: headers first, then the newest basic table of major revision 1, and the
// 4-byte address instruction table when there is one. Every offset is checked against what was
// read; optional DWORDs are used only when the table is long enough to hold them.
#include "spiflash_sfdp.h"

#include <algorithm>

namespace {

constexpr size_t kHeaderSize = 8;
constexpr size_t kParameterHeaderSize = 8;
constexpr uint32_t kBasicMinDwords = 9;                // the first revision's length
constexpr uint64_t kMaxSizeBytes = uint64_t{1} << 30;  // 8 Gbit: far above any part; sizes stay in a long

uint32_t Dword(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

bool HasSignature(const uint8_t* data, size_t size) {
    return size >= 4 && data[0] == 'S' && data[1] == 'F' && data[2] == 'D' && data[3] == 'P';
}

size_t HeadersEnd(const uint8_t* data) {
    return kHeaderSize + kParameterHeaderSize * (static_cast<size_t>(data[6]) + 1);
}

std::vector<SfdpTable> ReadHeaders(const uint8_t* data) {
    std::vector<SfdpTable> tables;
    const size_t count = static_cast<size_t>(data[6]) + 1;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* h = data + kHeaderSize + kParameterHeaderSize * i;
        SfdpTable t;
        t.id = static_cast<uint16_t>(h[7] << 8 | h[0]);
        t.minor = h[1];
        t.major = h[2];
        t.dwords = h[3];
        t.pointer = static_cast<uint32_t>(h[4] | h[5] << 8 | h[6] << 16);
        tables.push_back(t);
    }
    return tables;
}

// The newest basic table of major revision 1 that is long enough; -1 when none.
int ChooseBasic(const std::vector<SfdpTable>& tables) {
    int chosen = -1;
    for (size_t i = 0; i < tables.size(); ++i) {
        const SfdpTable& t = tables[i];
        if (t.id == kSfdpBasicTable && t.major == 1 && t.dwords >= kBasicMinDwords &&
            (chosen < 0 || t.minor > tables[static_cast<size_t>(chosen)].minor)) {
            chosen = static_cast<int>(i);
        }
    }
    return chosen;
}

int FindTable(const std::vector<SfdpTable>& tables, uint16_t id, uint32_t least) {
    for (size_t i = 0; i < tables.size(); ++i) {
        if (tables[i].id == id && tables[i].major == 1 && tables[i].dwords >= least) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

size_t TableEnd(const SfdpTable& t) {
    return static_cast<size_t>(t.pointer) + 4 * static_cast<size_t>(t.dwords);
}

// A typical time field of the basic table: a count (count_bits wide, plus one) in the unit
// selected by the bits above it.
uint32_t TypicalTime(uint32_t field, int countBits, const uint32_t* units) {
    const uint32_t count = (field & ((1u << countBits) - 1)) + 1;
    return count * units[field >> countBits];
}

// Density (DWORD 2): value + 1 bits, or 2^N bits with the top bit set. 0 when out of reach.
uint64_t DensityBytes(uint32_t dword) {
    if ((dword & 0x80000000u) != 0) {
        const uint32_t n = dword & 0x7FFFFFFFu;
        return n >= 3 && n <= 33 ? (uint64_t{1} << n) / 8 : 0;
    }
    const uint64_t bits = uint64_t{dword} + 1;
    return bits % 8 == 0 ? bits / 8 : 0;
}

bool ReadBasic(const uint8_t* t, uint32_t dwords, FlashGeometry& g, std::string& error) {
    auto dw = [t](int n) { return Dword(t + 4 * (n - 1)); };  // DWORDs count from 1
    const uint32_t first = dw(1);
    switch ((first >> 17) & 3) {
        case 0:
            g.addressing = AddressMode::Three;
            break;
        case 1:
            g.addressing = AddressMode::ThreeOrFour;
            break;
        case 2:
            g.addressing = AddressMode::Four;
            break;
        default:
            error = "the basic table gives no address length";
            return false;
    }
    g.size = DensityBytes(dw(2));
    if (g.size == 0 || g.size > kMaxSizeBytes) {
        error = "the basic table gives no usable density";
        return false;
    }

    // Erase types 1 to 4 (DWORDs 8 and 9): size 2^N bytes and opcode; N = 0 where there is none.
    const uint32_t eraseUnits[] = {1, 16, 128, 1000};  // ms
    const uint32_t times = dwords >= 10 ? dw(10) : 0;
    for (int i = 0; i < 4; ++i) {
        const uint32_t word = dw(8 + i / 2) >> (16 * (i % 2));
        const uint32_t shift = word & 0xFF;
        EraseType e;
        e.size = shift == 0 || shift > 31 ? 0 : 1u << shift;  // 0: absent
        e.opcode = static_cast<uint8_t>(word >> 8);
        if (times != 0) {
            e.typicalMs = TypicalTime((times >> (4 + 7 * i)) & 0x7F, 5, eraseUnits);
        }
        g.erases.push_back(e);  // indexed by type until the 4-byte table is read
    }
    // DWORD 1: a 4 KiB erase that is not among the types.
    if ((first & 3) == 1 &&
        std::none_of(g.erases.begin(), g.erases.end(), [](const EraseType& e) { return e.size == 4096; })) {
        EraseType e;
        e.size = 4096;
        e.opcode = static_cast<uint8_t>(first >> 8);
        g.erases.push_back(e);
    }

    // Page size: DWORD 11; before it, a write granularity of 64 bytes or more means 256.
    g.pageSize = (first & 4) != 0 ? 256 : 1;
    if (dwords >= 11) {
        const uint32_t eleventh = dw(11);
        g.pageSize = 1u << ((eleventh >> 4) & 0xF);           // up to 32 KiB: a page program fits one transfer
        const uint32_t programUnits[] = {8, 64};              // us
        const uint32_t chipUnits[] = {16, 256, 4000, 64000};  // ms
        g.pageProgramUs = TypicalTime((eleventh >> 8) & 0x3F, 5, programUnits);
        g.chipEraseMs = TypicalTime((eleventh >> 24) & 0x7F, 5, chipUnits);
    }

    // Entering and leaving the 4-byte mode: DWORD 16, else the common B7h / E9h.
    g.enterB7 = g.exitE9 = g.addressing == AddressMode::ThreeOrFour;
    if (dwords >= 16) {
        const uint32_t enter = dw(16) >> 24;
        const uint32_t exit = (dw(16) >> 14) & 0x3FF;
        g.enterB7 = (enter & 3) != 0;
        g.enterNeedsWriteEnable = (enter & 1) == 0 && (enter & 2) != 0;
        g.exitE9 = (exit & 3) != 0;
        g.exitNeedsWriteEnable = (exit & 1) == 0 && (exit & 2) != 0;
    }
    return true;
}

// The 4-byte address instruction table: 13h and 12h, and the 4-byte opcode of each erase type.
void ReadFourByte(const uint8_t* t, FlashGeometry& g) {
    const uint32_t support = Dword(t);
    const uint32_t opcodes = Dword(t + 4);
    g.read4 = (support & 1u) != 0;
    g.program4 = (support & (1u << 6)) != 0;
    for (size_t i = 0; i < 4 && i < g.erases.size(); ++i) {
        if ((support & (1u << (9 + i))) != 0) {
            g.erases[i].opcode4 = static_cast<uint8_t>(opcodes >> (8 * i));
        }
    }
}

// Ascending by size, one type per size; none absent, smaller than a page, or not dividing the chip
// into whole blocks.
void TidyErases(std::vector<EraseType>& erases, uint32_t pageSize, uint64_t size) {
    erases.erase(std::remove_if(erases.begin(), erases.end(),
                                [pageSize, size](const EraseType& e) {
                                    return e.size == 0 || e.size < pageSize || size % e.size != 0;
                                }),
                 erases.end());
    std::stable_sort(erases.begin(), erases.end(),
                     [](const EraseType& a, const EraseType& b) { return a.size < b.size; });
    erases.erase(std::unique(erases.begin(), erases.end(),
                             [](const EraseType& a, const EraseType& b) { return a.size == b.size; }),
                 erases.end());
}

}  // namespace

size_t SfdpBytesNeeded(const uint8_t* data, size_t size) {
    if (!HasSignature(data, size)) {
        return 0;
    }
    if (size < kHeaderSize) {
        return kHeaderSize;
    }
    if (size < HeadersEnd(data)) {
        return HeadersEnd(data);
    }
    const std::vector<SfdpTable> tables = ReadHeaders(data);
    size_t needed = HeadersEnd(data);
    const int basic = ChooseBasic(tables);
    if (basic >= 0) {
        needed = std::max(needed, TableEnd(tables[static_cast<size_t>(basic)]));
    }
    const int four = FindTable(tables, kSfdpFourByteTable, 2);
    if (four >= 0) {
        needed = std::max(needed, TableEnd(tables[static_cast<size_t>(four)]));
    }
    return needed;
}

bool ParseSfdp(const uint8_t* data, size_t size, SfdpInfo& info, std::string& error) {
    info = SfdpInfo();
    if (!HasSignature(data, size)) {
        error = "no SFDP signature";
        return false;
    }
    if (size < kHeaderSize || size < HeadersEnd(data)) {
        error = "the SFDP headers were not read whole";
        return false;
    }
    info.minor = data[4];
    info.major = data[5];
    if (info.major != 1) {
        error = "SFDP major revision " + std::to_string(info.major) + " is not known";
        return false;
    }
    info.tables = ReadHeaders(data);
    info.basic = ChooseBasic(info.tables);
    if (info.basic < 0) {
        error = "no basic flash parameter table";
        return false;
    }
    const SfdpTable& basic = info.tables[static_cast<size_t>(info.basic)];
    if (TableEnd(basic) > size) {
        error = "the basic table lies beyond what was read";
        return false;
    }
    if (!ReadBasic(data + basic.pointer, basic.dwords, info.geometry, error)) {
        return false;
    }
    const int four = FindTable(info.tables, kSfdpFourByteTable, 2);
    if (four >= 0 && TableEnd(info.tables[static_cast<size_t>(four)]) <= size) {
        ReadFourByte(data + info.tables[static_cast<size_t>(four)].pointer, info.geometry);
    }
    TidyErases(info.geometry.erases, info.geometry.pageSize, info.geometry.size);
    if (info.geometry.erases.empty()) {
        error = "the basic table gives no erase type";
        return false;
    }
    return true;
}
