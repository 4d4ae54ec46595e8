// brg40 selftest [FILE]: what a person with a converter can run safely and attach to a bug report.
// It lists the units, asks the chosen one who it is, reads its EEPROM, scans its I2C bus, judges an
// image file when one is given, and looks at the system around it. Nothing is written to the
// converter and no mode is changed.
#include <cstdio>

#include "command_context.h"
#include "console_seam.h"
#include "console_texts.h"
#include "exit_codes.h"
#include "fw_unit.h"
#include "i2c_scan.h"
#include "spiflash_chip.h"
#include "spiflash_session.h"
#include "selftest_system.h"
#include "version_text.h"

namespace {

constexpr unsigned short kEepromBytes = 16;

std::string HexBytes(const unsigned char* data, size_t size) {
    std::string text;
    for (size_t i = 0; i < size; ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%s%02X", i ? " " : "", data[i]);
        text += byte;
    }
    return text;
}

// The unit the checks are about: the one -d names, else the only one present; null with the reason
// in why.
bool ChosenUnit(CommandContext& context, const std::vector<Unit>& units, Unit& out, std::string& why) {
    ConsoleOutput quiet(false, nullptr, nullptr);  // a failed choice is a check here, not the result
    CommandContext asking{context.args, quiet, context.trace};
    const std::vector<std::string> selectors = Selectors(context.args);
    int code = 0;
    if (!selectors.empty()) {
        if (Choose(asking, units, selectors[0], out, code)) {
            return true;
        }
        why = "-d " + selectors[0] + (code == kExitUsage ? " names several units" : " names no unit present");
        return false;
    }
    if (units.size() == 1) {
        out = units[0];
        return true;
    }
    why = units.empty() ? "no converter found" : "several converters: choose one with -d";
    return false;
}

// The checks on the converter itself, through the library (opened once, closed again).
void ConverterChecks(CommandContext& context, const Unit& unit, std::vector<SelfCheck>& checks) {
    if (unit.update) {
        checks.push_back({"info", false,
                          "the " + unit.Describe() + " is in update mode; `brg40 -d " + unit.Selector() +
                              " fw update FILE` finishes its update"});
        return;
    }
    int status = 0;
    Brg40Handle handle = unit.openStatus == 0 ? brg40_open_device(unit.node.c_str(), &status) : nullptr;
    Called(context, "brg40_open_device(" + unit.node + ")", status);
    if (handle == nullptr) {
        checks.push_back({"open", false,
                          "the " + unit.Describe() + " cannot be opened (status " +
                              std::to_string(unit.openStatus != 0 ? unit.openStatus : status) + ")"});
        return;
    }
    unsigned char major = 0, minor = 0, libMajor = 0, libMinor = 0;
    Brg40HwInfo hw = {};
    const int version = brg40_get_fw_version(handle, &major, &minor);
    const int info = brg40_get_hw_info(handle, &hw);
    brg40_get_dll_version(handle, &libMajor, &libMinor);
    char text[160];
    std::snprintf(text, sizeof text, "%s: firmware %s, hardware bits 0x%02X, library %u.%02u", unit.Describe().c_str(),
                  VersionText(static_cast<uint16_t>(major << 8 | minor)).c_str(), hw.bits6, libMajor, libMinor);
    checks.push_back({"info", version == BRG40_OK && info == BRG40_OK,
                      version == BRG40_OK && info == BRG40_OK
                          ? text
                          : "status " + std::to_string(version != BRG40_OK ? version : info)});
    unsigned char eeprom[kEepromBytes] = {};
    const int read = brg40_eeprom_read(handle, kEepromBytes, eeprom);
    Called(context, "brg40_eeprom_read", read, eeprom, kEepromBytes);
    checks.push_back(
        {"eeprom", read == BRG40_OK,
         read == BRG40_OK ? "first 16 bytes: " + HexBytes(eeprom, kEepromBytes) : "status " + std::to_string(read)});
    std::string addresses;
    for (const unsigned address : ScanI2c(context, handle)) {
        char hex[8];
        std::snprintf(hex, sizeof hex, " 0x%02X", address);
        addresses += hex;
    }
    checks.push_back({"i2c scan", true, addresses.empty() ? "no device answers" : "answering:" + addresses});
    // A flash on the SPI bus brings back its JEDEC ID only when the converter frames each transfer
    // call as one chip-select frame, as brg40 spiflash assumes.
    uint8_t id[3] = {};
    SpiFlashChip chip(ConverterFrame(context, handle, 0));
    const bool answered = chip.ReadId(id);
    const bool blank = (id[0] == 0xFF && id[1] == 0xFF && id[2] == 0xFF) || (id[0] == 0 && id[1] == 0 && id[2] == 0);
    checks.push_back({"spi flash", answered,
                      !answered ? "the transfer failed"
                      : blank   ? "no flash answers on the SPI bus (JEDEC ID " + HexBytes(id, 3) + ")"
                                : "JEDEC ID " + HexBytes(id, 3) + ": one chip-select frame per transfer"});
    brg40_close(handle);
}

SelfCheck ImageCheck(CommandContext& context, const std::string& path, uint16_t device) {
    CheckedImage image;
    const UpdateStop verdict = JudgeImage(context.args, path, image);
    if (verdict != UpdateStop::Completed) {
        return {"fw check", false, path + ": " + MessageLine(*ReportOfStop(verdict).message)};
    }
    return {"fw check", true,
            path + ": image " + VersionText(image.version) + " accepted" +
                (ImageVersionNeedsQuestion(image.version, device) ? " (not newer than the converter: fw update asks)"
                                                                  : "")};
}

}  // namespace

int RunSelftestCommand(CommandContext& context) {
    const std::vector<std::string>& w = context.args.words;
    if (w.size() > 2) {
        return UsageError(context, "selftest [FILE]");
    }
    std::vector<SelfCheck> checks;
    const std::vector<Unit> units = ListUnits(context);
    std::string found;
    for (const Unit& unit : units) {
        found += (found.empty() ? "" : "; ") + unit.Describe();
    }
    checks.push_back({"list", !units.empty(), units.empty() ? "no converter found" : found});
    Unit unit;
    std::string why;
    const bool chosen = ChosenUnit(context, units, unit, why);
    if (chosen) {
        ConverterChecks(context, unit, checks);
    } else if (!units.empty()) {
        checks.push_back({"info", false, why});
    }
    if (w.size() == 2) {
        checks.push_back(ImageCheck(context, w[1], chosen ? ReadUnitVersion(context, unit) : kUnknownVersion));
    }
    for (const SelfCheck& check : SystemChecks(chosen ? &unit : nullptr)) {
        checks.push_back(check);
    }
    std::string list = "[";
    int failed = 0;
    for (const SelfCheck& check : checks) {
        failed += check.ok ? 0 : 1;
        context.out.Print(std::string(check.ok ? "ok    " : "FAIL  ") + check.name +
                          std::string(check.name.size() < 10 ? 10 - check.name.size() : 1, ' ') + check.detail);
        list += (list.size() > 1 ? "," : "") +
                JsonObject().Add("name", check.name).AddBool("ok", check.ok).Add("detail", check.detail).Text();
    }
    context.out.Print(std::to_string(checks.size()) + " checks, " + std::to_string(failed) + " failed");
    JsonObject fields = chosen ? unit.Identity() : JsonObject();
    return context.out.Finish(failed == 0 ? kExitOk : kExitFailed,
                              fields.Add("failed", failed).AddRaw("checks", list + "]"),
                              failed == 0 ? "" : std::to_string(failed) + " of the checks failed");
}
