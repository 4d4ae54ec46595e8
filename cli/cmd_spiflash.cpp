// brg40 spiflash id | sfdp | read | erase | write | verify: a 25-series SPI NOR flash on the
// converter's SPI master, one chip-select frame per transfer call. The chip's geometry comes from
// its SFDP table, the built-in table or --size; writes erase and program only what changes.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "byte_input.h"
#include "command_context.h"
#include "console_seam.h"
#include "exit_codes.h"
#include "progress_view.h"
#include "spiflash_chip.h"
#include "spiflash_plan.h"
#include "spiflash_sfdp.h"

namespace {

constexpr uint64_t kMaxBytes = uint64_t{1} << 30;  // as the SFDP parser allows
constexpr uint64_t kMaxSizeWithoutSfdp = uint64_t{1} << 24;
constexpr uint64_t kSizeUnit = 65536;

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string Address(uint64_t address) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%06llX", static_cast<unsigned long long>(address));
    return text;
}

std::string HexByte(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

// "4 KiB", "16 MiB", or the bytes.
std::string SizeText(uint64_t bytes) {
    if (bytes >= (1u << 20) && bytes % (1u << 20) == 0) {
        return std::to_string(bytes >> 20) + " MiB";
    }
    if (bytes >= 1024 && bytes % 1024 == 0) {
        return std::to_string(bytes >> 10) + " KiB";
    }
    return std::to_string(bytes) + " bytes";
}

// "1 page", "3 pages".
std::string Count(uint64_t n, const char* what) {
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

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

struct Request {
    std::string verb, file;
    uint64_t offset = 0, length = 0, size = 0;
    bool lengthGiven = false;
    unsigned long setting = 0;
    std::vector<uint8_t> data;  // write, verify: the file's bytes (cut to --length)
};

// The flash as one command sees it: the converter, the chip, its identity and the progress view.
struct Session {
    CommandContext& context;
    const Request& request;
    Converter converter;
    std::unique_ptr<SpiFlashChip> chip;
    ProgressView progress;
    uint8_t id[3] = {};
    std::string source;  // where the geometry came from
    SfdpInfo sfdp;
    std::vector<uint8_t> sfdpArea;
    std::string sfdpProblem;  // why an SFDP area that was found is not used
    double start = Now();
    bool begun = false;

    Session(CommandContext& c, const Request& r) : context(c), request(r), progress(c.out, StderrIsTerminal(), Now) {}
    ~Session() {
        if (begun) {
            chip->End();  // out of the 4-byte mode, whatever happened
        }
    }
    const FlashGeometry& Geometry() const { return chip->Geometry(); }

    JsonObject Fields() const {
        return JsonObject()
            .Add("jedec_id", HexLine(id, 3))
            .Add("size", static_cast<long>(Geometry().size))
            .Add("source", source)
            .Add("seconds", Now() - start)
            .Add("frames", static_cast<long>(chip->Frames()));
    }

    // The chip stopped: where, in which operation, and why.
    int Failed(const char* phase) {
        progress.End();
        const ChipFailure& f = chip->Failure();
        JsonObject fields = Fields();
        fields.Add("phase", phase).Add("operation", f.operation).Add("stopped_at", Address(f.address));
        if (f.status != 0) {
            fields.Add("status", f.status);
            const std::string where = f.operation == phase ? f.operation : f.operation + ", " + phase;
            return context.out.Finish(ExitCodeForStatus(f.status), fields,
                                      f.detail + " at " + Address(f.address) + " (" + where + ")");
        }
        return context.out.Finish(
            kExitFailed, fields,
            "the flash stopped at " + Address(f.address) + " in the " + f.operation + " (" + phase + "): " + f.detail);
    }
};

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

// JEDEC ID, then the geometry: SFDP, else the built-in table, else --size. 0 when known, else the
// exit code with the result written.
int Identify(Session& s) {
    CommandContext& c = s.context;
    SpiFlashChip& chip = *s.chip;
    if (!chip.ReadId(s.id)) {
        return s.Failed("identification");
    }
    const bool silent =
        (s.id[0] == 0xFF && s.id[1] == 0xFF && s.id[2] == 0xFF) || (s.id[0] == 0 && s.id[1] == 0 && s.id[2] == 0);
    if (silent) {
        return c.out.Finish(kExitFailed, JsonObject().Add("jedec_id", HexLine(s.id, 3)),
                            "no SPI flash answers (JEDEC ID " + HexLine(s.id, 3) + ")");
    }
    if (!chip.ReadSfdpArea(s.sfdpArea)) {
        return s.Failed("identification");
    }
    FlashGeometry geometry;
    std::string& sfdpProblem = s.sfdpProblem;
    if (!s.sfdpArea.empty() && ParseSfdp(s.sfdpArea.data(), s.sfdpArea.size(), s.sfdp, sfdpProblem)) {
        geometry = s.sfdp.geometry;
        s.source = "SFDP " + std::to_string(s.sfdp.major) + "." + std::to_string(s.sfdp.minor);
    } else if (BuiltInGeometry(s.id, geometry)) {
        s.source = "built-in table";
    } else if (s.request.size != 0) {
        geometry = GeometryOfSize(s.request.size);
        s.source = "--size";
    } else {
        const std::string why =
            sfdpProblem.empty() ? "without SFDP" : "whose SFDP table is unusable (" + sfdpProblem + ")";
        return c.out.Finish(
            kExitUsage, JsonObject().Add("jedec_id", HexLine(s.id, 3)),
            "unknown flash " + HexLine(s.id, 3) + " " + why +
                ": give its size with --size (256-byte pages and the 64 KiB erase D8h are then assumed)");
    }
    if (s.request.size != 0 && s.source != "--size") {
        geometry.size = s.request.size;
        s.source += ", size from --size";
    }
    std::string problem;
    if (!chip.Use(geometry, problem)) {
        return c.out.Finish(kExitFailed, JsonObject().Add("jedec_id", HexLine(s.id, 3)), problem);
    }
    if (!chip.Begin()) {
        return s.Failed("identification");
    }
    s.begun = true;
    return 0;
}

// A chip that stopped answering during a read hands out 0xFF: its ID says whether it is still there.
bool StillAnswering(Session& s) {
    uint8_t again[3] = {};
    return s.chip->ReadId(again) && std::memcmp(again, s.id, 3) == 0;
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

// The region of the command within the chip: --offset and --length (or the file's length, or the
// rest of the chip). 0 when it fits, else the exit code.
int CheckRegion(Session& s, uint64_t& offset, uint64_t& length) {
    const uint64_t size = s.Geometry().size;
    offset = s.request.offset;
    length = s.request.length != 0 ? s.request.length : (offset < size ? size - offset : 0);
    if (offset >= size || length == 0 || offset + length > size) {
        return s.context.out.Finish(kExitUsage, s.Fields(),
                                    "the region " + Address(offset) + " + " + std::to_string(length) +
                                        " bytes does not lie within the " + SizeText(size) + " chip");
    }
    return 0;
}

int ReadRegion(Session& s, uint64_t offset, uint64_t length, const char* phase, std::vector<uint8_t>& data) {
    data.resize(length);
    s.progress.Start(phase, length);
    if (!s.chip->Read(static_cast<uint32_t>(offset), data.data(), length,
                      [&s](size_t done) { s.progress.Update(done); })) {
        return s.Failed(phase);
    }
    s.progress.End();
    if (!StillAnswering(s)) {
        return s.context.out.Finish(kExitFailed, s.Fields().Add("phase", phase),
                                    "the flash stopped answering during the " + std::string(phase) + " of " +
                                        Address(offset) + " + " + std::to_string(length) + " bytes");
    }
    return 0;
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

// The first address where the chip's bytes differ from what they should hold, and how many differ.
size_t Differences(const uint8_t* chip, const uint8_t* want, size_t n, size_t& first) {
    size_t count = 0;
    first = n;
    for (size_t i = 0; i < n; ++i) {
        if (chip[i] != want[i]) {
            first = first == n ? i : first;
            ++count;
        }
    }
    return count;
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

// Block-protect bits set: the write stops, or with --unprotect they are cleared first.
int CheckProtection(Session& s) {
    uint8_t status = 0;
    if (!s.chip->ReadStatus(status)) {
        return s.Failed("protection check");
    }
    if ((status & kStatusBlockProtect) == 0) {
        return 0;
    }
    // Any block-protect bit stops the command, whatever the region: which blocks the bits cover
    // differs from part to part.
    ConsoleOutput& out = s.context.out;
    if (!s.context.args.unprotect) {
        return out.Finish(kExitFailed, s.Fields().Add("status", HexByte(status)).AddBool("protected", true),
                          "the flash is write-protected: its status register " + HexByte(status) +
                              " has block-protect bits set; nothing was changed (--unprotect clears them first)");
    }
    uint8_t after = 0;
    if (!s.chip->WriteStatus(static_cast<uint8_t>(status & ~kStatusBlockProtect & 0xFC)) ||
        !s.chip->ReadStatus(after)) {
        return s.Failed("unprotect");
    }
    if ((after & kStatusBlockProtect) != 0) {
        return out.Finish(kExitFailed, s.Fields().Add("status", HexByte(after)).AddBool("protected", true),
                          "the block-protect bits stay set (status " + HexByte(after) +
                              "): the status register is locked (its write-disable bit with the /WP pin held low)");
    }
    out.Note("block protection cleared (status " + HexByte(status) + " -> " + HexByte(after) + ")");
    return 0;
}

// write and erase: the region made to hold data (or 0xFF), erasing only the sectors that need it
// and programming only the pages that differ, then read back.
int Rewrite(Session& s, const uint8_t* data) {
    uint64_t offset = 0, length = 0;
    int code = CheckRegion(s, offset, length);
    if (code != 0 || (code = CheckProtection(s)) != 0) {
        return code;
    }
    WatchInterrupt();
    const FlashGeometry& g = s.Geometry();
    const FlashRange span = SectorSpan(g, static_cast<uint32_t>(offset), static_cast<uint32_t>(length));
    std::vector<uint8_t> current;
    if ((code = ReadRegion(s, span.address, span.length, "read", current)) != 0) {
        return code;
    }
    std::vector<uint8_t> target = current;
    const size_t at = offset - span.address;
    if (data != nullptr) {
        std::memcpy(target.data() + at, data, length);
    } else {
        std::memset(target.data() + at, 0xFF, length);
    }
    const WritePlan plan = PlanWrite(g, span, current.data(), target.data());
    auto interrupted = [&s](const char* phase, uint32_t address) {
        s.progress.End();
        return s.context.out.Finish(kExitInterrupted,
                                    s.Fields().Add("phase", phase).Add("stopped_at", Address(address)),
                                    "interrupted at " + Address(address) + " in the " + phase +
                                        ": the region is partly changed; run the command again");
    };

    uint64_t done = 0;
    if (!plan.erases.empty()) {
        s.progress.Start("erase", plan.bytesErased);
    }
    for (const EraseStep& step : plan.erases) {
        if (Interrupted()) {
            return interrupted("erase", step.address);
        }
        if (!s.chip->Erase(step.address, g.erases[step.type])) {
            return s.Failed("erase");
        }
        s.progress.Update(done += g.erases[step.type].size);
    }
    done = 0;
    if (!plan.programs.empty()) {
        s.progress.Start("write", plan.bytesProgrammed);
    }
    for (const FlashRange& p : plan.programs) {
        if (Interrupted()) {
            return interrupted("write", p.address);
        }
        if (!s.chip->Program(p.address, target.data() + (p.address - span.address), p.length)) {
            return s.Failed("write");
        }
        s.progress.Update(done += p.length);
    }
    uint64_t checked = 0;
    for (const FlashRange& v : plan.verify) {
        checked += v.length;
    }
    done = 0;
    if (checked != 0) {
        s.progress.Start("verify", checked);
    }
    std::vector<uint8_t> back;
    for (const FlashRange& v : plan.verify) {
        back.resize(v.length);
        if (!s.chip->Read(v.address, back.data(), v.length, [&](size_t n) { s.progress.Update(done + n); })) {
            return s.Failed("verify");
        }
        done += v.length;
        size_t first = 0;
        const uint8_t* want = target.data() + (v.address - span.address);
        if (Differences(back.data(), want, v.length, first) != 0) {
            s.progress.End();
            const uint64_t where = v.address + first;
            return s.context.out.Finish(kExitMismatch,
                                        s.Fields().Add("phase", "verify").Add("stopped_at", Address(where)),
                                        "verify failed at " + Address(where) + ": the flash holds " +
                                            HexByte(back[first]) + " where " + HexByte(want[first]) + " was written");
        }
    }
    s.progress.End();
    const bool erase = data == nullptr;
    s.context.out.Print(std::string(erase ? "erased " : "wrote ") + std::to_string(length) + " bytes at " +
                        Address(offset) + ": " + std::to_string(plan.sectorsErased) + " of " +
                        Count(plan.sectors, "sector") + " erased (" + Count(plan.erases.size(), "erase operation") +
                        "), " + Count(plan.programs.size(), "page") + " programmed, " +
                        std::to_string(plan.sectorsUnchanged) + " unchanged; verified");
    return s.context.out.Finish(kExitOk, s.Fields()
                                             .Add("offset", Address(offset))
                                             .Add("length", static_cast<long>(length))
                                             .Add("sectors", static_cast<long>(plan.sectors))
                                             .Add("sectors_erased", static_cast<long>(plan.sectorsErased))
                                             .Add("sectors_unchanged", static_cast<long>(plan.sectorsUnchanged))
                                             .Add("erase_operations", static_cast<long>(plan.erases.size()))
                                             .Add("pages_programmed", static_cast<long>(plan.programs.size()))
                                             .Add("bytes_programmed", static_cast<long>(plan.bytesProgrammed))
                                             .AddBool("verified", true));
}

}  // namespace

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
    s.chip.reset(new SpiFlashChip([&context, handle, setting](const uint8_t* out, uint8_t* in, size_t n) {
        if (context.trace) {
            context.trace->Line('>', "brg40_spi_transmit_master", out, n);
        }
        const int status = brg40_spi_transmit_master(handle, setting, static_cast<unsigned short>(n), out, in);
        Called(context, "brg40_spi_transmit_master", status, in, n);
        return status;
    }));
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
