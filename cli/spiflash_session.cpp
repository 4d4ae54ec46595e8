// The steps that the verbs of brg40 spiflash share.
#include "spiflash_session.h"

#include <cstdio>
#include <cstring>

#include "byte_input.h"
#include "console_seam.h"
#include "exit_codes.h"

namespace {

// A chip that stopped answering during a read hands out 0xFF: its ID says whether it is still there.
bool StillAnswering(Session& s) {
    uint8_t again[3] = {};
    return s.chip->ReadId(again) && std::memcmp(again, s.id, 3) == 0;
}

}  // namespace

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

std::string SizeText(uint64_t bytes) {
    if (bytes >= (1u << 20) && bytes % (1u << 20) == 0) {
        return std::to_string(bytes >> 20) + " MiB";
    }
    if (bytes >= 1024 && bytes % 1024 == 0) {
        return std::to_string(bytes >> 10) + " KiB";
    }
    return std::to_string(bytes) + " bytes";
}

std::string Count(uint64_t n, const char* what) {
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

Session::Session(CommandContext& c, const Request& r)
    : context(c), request(r), progress(c.out, StderrIsTerminal(), Now), start(Now()) {}

Session::~Session() {
    if (begun) {
        chip->End();  // out of the 4-byte mode, whatever happened
    }
}

JsonObject Session::Fields() const {
    return JsonObject()
        .Add("jedec_id", HexLine(id, 3))
        .Add("size", static_cast<long>(Geometry().size))
        .Add("source", source)
        .Add("seconds", Now() - start)
        .Add("frames", static_cast<long>(chip->Frames()));
}

int Session::Failed(const char* phase) {
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
