// brg40 spiflash id | sfdp | read | erase | write | verify: a 25-series SPI NOR flash on the
// converter's SPI master, one chip-select frame per transfer call. The chip's geometry comes from
// its SFDP table, the built-in table or --size; writes erase and program only what changes.
#include <cstdio>
#include <vector>

#include "byte_input.h"
#include "command_context.h"
#include "exit_codes.h"
#include "spiflash_session.h"

namespace {

constexpr uint64_t kMaxBytes = uint64_t{1} << 30;  // as the SFDP parser allows
constexpr uint64_t kMaxSizeWithoutSfdp = uint64_t{1} << 24;
constexpr uint64_t kSizeUnit = 65536;

// A number as ParseNumber takes it, with an optional K or M (KiB, MiB) after it.
bool ParseSize(std::string text, uint64_t max, uint64_t& value) {
    uint64_t unit = 1;
    if (!text.empty() && (text.back() == 'K' || text.back() == 'k' || text.back() == 'M' || text.back() == 'm')) {
        unit = text.back() == 'K' || text.back() == 'k' ? 1024 : 1024 * 1024;
        text.pop_back();
    }
    unsigned long number = 0;
    if (!ParseNumber(text, static_cast<unsigned long>(max / unit), number)) {
        return false;
    }
    value = number * unit;
    return true;
}

bool ParseRequest(CommandContext& context, Request& r, std::string& usage) {
    const std::vector<std::string>& w = context.args.words;
    const Arguments& a = context.args;
    r.verb = w.size() > 1 ? w[1] : "";
    const bool takesFile = r.verb == "read" || r.verb == "write" || r.verb == "verify";
    const bool takesNothing = r.verb == "id" || r.verb == "sfdp" || r.verb == "erase";
    if (!takesFile && !takesNothing) {
        usage = "spiflash id|sfdp|read FILE|erase|write FILE|verify FILE";
        return false;
    }
    if (w.size() != (takesFile ? 3u : 2u)) {
        usage = "spiflash " + r.verb + (takesFile ? " FILE" : "") + " [--offset A] [--length N]";
        return false;
    }
    r.file = takesFile ? w[2] : "";
    if ((!a.offset.empty() && !ParseSize(a.offset, kMaxBytes - 1, r.offset)) ||
        (!a.length.empty() && (!ParseSize(a.length, kMaxBytes, r.length) || r.length == 0)) ||
        (!a.size.empty() && !ParseSize(a.size, kMaxSizeWithoutSfdp, r.size))) {
        usage = "--offset, --length and --size take bytes (decimal, 0x hex, or with K or M)";
        return false;
    }
    if (!a.size.empty() && (r.size == 0 || r.size % kSizeUnit != 0)) {
        usage = "--size is a multiple of 64 KiB up to 16 MiB";
        return false;
    }
    if (!a.setting.empty() && !ParseNumber(a.setting, 0xFF, r.setting)) {
        usage = "--setting takes a byte";
        return false;
    }
    r.lengthGiven = !a.length.empty();
    if (r.verb == "write" || r.verb == "verify") {
        if (!ReadFileBytes(r.file, r.data) || r.data.empty()) {
            usage = "cannot read " + r.file + " (or it is empty)";
            return false;
        }
        if (r.lengthGiven && r.length > r.data.size()) {
            usage = "--length is more than the " + std::to_string(r.data.size()) + " bytes of " + r.file;
            return false;
        }
        r.data.resize(r.lengthGiven ? r.length : r.data.size());
        r.length = r.data.size();
    }
    return true;
}

int ShowId(Session& s) {
    const FlashGeometry& g = s.Geometry();
    uint8_t status = 0;
    if (!s.chip->ReadStatus(status)) {
        return s.Failed("identification");
    }
    std::string erases, erasesJson = "[";
    for (const EraseType& e : g.erases) {
        const unsigned opcode = s.chip->FourByteOpcodes() ? e.opcode4 : e.opcode;
        erases += (erases.empty() ? "" : ", ") + SizeText(e.size) + " " + HexByte(opcode);
        erasesJson += (erasesJson.size() > 1 ? "," : "") +
                      JsonObject().Add("size", static_cast<long>(e.size)).Add("opcode", HexByte(opcode)).Text();
    }
    const bool locked = (status & kStatusBlockProtect) != 0;
    ConsoleOutput& out = s.context.out;
    char device[8];
    std::snprintf(device, sizeof device, "0x%02X%02X", s.id[1], s.id[2]);
    out.Print("JEDEC ID  " + HexLine(s.id, 3) + "  (maker " + HexByte(s.id[0]) + ", device " + device + ")");
    out.Print("size      " + SizeText(g.size) + ", pages of " + std::to_string(g.pageSize) + " bytes, " +
              std::to_string(s.chip->AddressBytes()) + "-byte addresses");
    out.Print("erase     " + erases);
    out.Print("from      " + s.source);
    out.Print("status    " + HexByte(status) + (locked ? "  block-protect bits set: write-protected" : ""));
    return out.Finish(kExitOk, s.Fields()
                                   .Add("maker", HexByte(s.id[0]))
                                   .Add("device", device)
                                   .Add("page_size", static_cast<long>(g.pageSize))
                                   .Add("address_bytes", s.chip->AddressBytes())
                                   .AddRaw("erase", erasesJson + "]")
                                   .Add("source", s.source)
                                   .Add("status", HexByte(status))
                                   .AddBool("protected", locked));
}

int ShowSfdp(Session& s) {
    ConsoleOutput& out = s.context.out;
    if (s.sfdpArea.empty()) {
        return out.Finish(kExitFailed, s.Fields(), "the flash shows no SFDP table");
    }
    if (!s.context.args.outFile.empty() &&
        !WriteFileBytes(s.context.args.outFile, s.sfdpArea.data(), s.sfdpArea.size())) {
        return out.Finish(kExitFailed, s.Fields(), "cannot write " + s.context.args.outFile);
    }
    if (!s.sfdpProblem.empty()) {
        return out.Finish(kExitFailed, s.Fields(), "the flash's SFDP area is not usable: " + s.sfdpProblem);
    }
    out.Print("SFDP " + std::to_string(s.sfdp.major) + "." + std::to_string(s.sfdp.minor) + ", " +
              std::to_string(s.sfdp.tables.size()) + " parameter tables:");
    std::string tables = "[";
    for (const SfdpTable& t : s.sfdp.tables) {
        char line[96];
        std::snprintf(line, sizeof line, "  %04Xh  %u.%u  %3u DWORDs at 0x%06X%s", t.id, t.major, t.minor, t.dwords,
                      t.pointer,
                      t.id == kSfdpBasicTable      ? "  basic flash parameters"
                      : t.id == kSfdpFourByteTable ? "  4-byte address instructions"
                                                   : "");
        out.Print(line);
        tables += (tables.size() > 1 ? "," : "") +
                  JsonObject()
                      .Add("id", HexByte(t.id >> 8) + HexByte(t.id & 0xFF).substr(2))
                      .Add("revision", std::to_string(t.major) + "." + std::to_string(t.minor))
                      .Add("dwords", static_cast<long>(t.dwords))
                      .Add("pointer", Address(t.pointer))
                      .Text();
    }
    const FlashGeometry& g = s.sfdp.geometry;
    const char* modes[] = {"3", "3 or 4", "4"};
    out.Print("density   " + SizeText(g.size) + ", " + modes[static_cast<int>(g.addressing)] + "-byte addresses");
    out.Print("page      " + std::to_string(g.pageSize) + " bytes" +
              (g.pageProgramUs ? ", typical program " + std::to_string(g.pageProgramUs) + " us" : ""));
    for (const EraseType& e : g.erases) {
        out.Print("erase     " + SizeText(e.size) + " " + HexByte(e.opcode) +
                  (e.opcode4 ? " (4-byte " + HexByte(e.opcode4) + ")" : "") +
                  (e.typicalMs ? ", typical " + std::to_string(e.typicalMs) + " ms" : ""));
    }
    if (g.chipEraseMs) {
        out.Print("chip      typical erase " + std::to_string(g.chipEraseMs) + " ms");
    }
    return out.Finish(kExitOk, s.Fields()
                                   .Add("revision", std::to_string(s.sfdp.major) + "." + std::to_string(s.sfdp.minor))
                                   .AddRaw("tables", tables + "]")
                                   .Add("bytes", static_cast<long>(s.sfdpArea.size())));
}

int ReadToFile(Session& s) {
    uint64_t offset = 0, length = 0;
    std::vector<uint8_t> data;
    int code = CheckRegion(s, offset, length);
    const double begin = Now();
    if (code != 0 || (code = ReadRegion(s, offset, length, "read", data)) != 0) {
        return code;
    }
    const double seconds = Now() - begin;
    if (!WriteFileBytes(s.request.file, data.data(), data.size())) {
        return s.context.out.Finish(kExitFailed, s.Fields(), "cannot write " + s.request.file);
    }
    s.context.out.Print("read " + std::to_string(length) + " bytes from " + Address(offset) + " into " +
                        s.request.file);
    return s.context.out.Finish(kExitOk, s.Fields()
                                             .Add("offset", Address(offset))
                                             .Add("length", static_cast<long>(length))
                                             .Add("file", s.request.file)
                                             .Add("read_seconds", seconds)
                                             .Add("bytes_per_second", static_cast<long>(length / seconds)));
}

int Verify(Session& s) {
    uint64_t offset = 0, length = 0;
    std::vector<uint8_t> data;
    int code = CheckRegion(s, offset, length);
    if (code != 0 || (code = ReadRegion(s, offset, length, "verify", data)) != 0) {
        return code;
    }
    size_t first = 0;
    const size_t differing = Differences(data.data(), s.request.data.data(), length, first);
    JsonObject fields = s.Fields().Add("offset", Address(offset)).Add("length", static_cast<long>(length));
    fields.AddBool("matched", differing == 0).Add("differing_bytes", static_cast<long>(differing));
    if (differing != 0) {
        return s.context.out.Finish(kExitMismatch, fields.Add("first_difference", Address(offset + first)),
                                    "the flash differs from " + s.request.file + " at " + Address(offset + first) +
                                        " (" + std::to_string(differing) + " bytes differ)");
    }
    s.context.out.Print("the flash holds " + s.request.file + " at " + Address(offset));
    return s.context.out.Finish(kExitOk, fields);
}

}  // namespace

SpiFrame ConverterFrame(CommandContext& context, Brg40Handle handle, unsigned char setting) {
    return [&context, handle, setting](const uint8_t* out, uint8_t* in, size_t n) {
        if (context.trace) {
            context.trace->Line('>', "brg40_spi_transmit_master", out, n);
        }
        const int status = brg40_spi_transmit_master(handle, setting, static_cast<unsigned short>(n), out, in);
        Called(context, "brg40_spi_transmit_master", status, in, n);
        return status;
    };
}

int RunFlashCommand(CommandContext& context) {
    Request request;
    std::string usage;
    if (!ParseRequest(context, request, usage)) {
        return UsageError(context, usage);
    }
    Session s(context, request);
    int code = 0;
    if (!OpenConverter(context, s.converter, code)) {
        return code;
    }
    const Brg40Handle handle = s.converter.handle;
    const unsigned char setting = static_cast<unsigned char>(request.setting);
    s.chip.reset(new SpiFlashChip(ConverterFrame(context, handle, setting)));
    if ((code = Identify(s)) != 0) {
        return code;
    }
    if (request.verb == "id") {
        return ShowId(s);
    }
    if (request.verb == "sfdp") {
        return ShowSfdp(s);
    }
    if (request.verb == "read") {
        return ReadToFile(s);
    }
    if (request.verb == "verify") {
        return Verify(s);
    }
    return Rewrite(s, request.verb == "write" ? request.data.data() : nullptr);
}
