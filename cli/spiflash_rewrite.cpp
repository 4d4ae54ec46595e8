// brg40 spiflash write and erase: the block protection, then the region read, planned, erased,
// programmed and read back.
#include <cstring>
#include <vector>

#include "console_seam.h"
#include "exit_codes.h"
#include "spiflash_plan.h"
#include "spiflash_session.h"

namespace {

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

}  // namespace

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
        return s.context.out.Finish(InterruptExitCode(),
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
