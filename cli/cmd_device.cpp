// brg40 list and brg40 info: every converter present in either mode, and the one chosen.
#include <cstdio>

#include "command_context.h"
#include "console_seam.h"
#include "exit_codes.h"
#include "units.h"
#include "version_text.h"

namespace {

std::string Version(unsigned char major, unsigned char minor) {
    return VersionText(static_cast<unsigned>(major) << 8 | minor);
}

std::string HwText(const Brg40HwInfo& info) {
    char text[64];
    std::snprintf(text, sizeof text, "flags %u/%u word 0x%04X bits 0x%02X", info.flag2, info.flag1, info.word,
                  info.bits6);
    return text;
}

std::string HwJson(const Brg40HwInfo& info) {
    return JsonObject()
        .Add("flag2", static_cast<int>(info.flag2))
        .Add("flag1", static_cast<int>(info.flag1))
        .Add("word", static_cast<int>(info.word))
        .Add("bits6", static_cast<int>(info.bits6))
        .Text();
}

}  // namespace

int RunListCommand(CommandContext& context) {
    if (context.args.words.size() != 1) {
        return UsageError(context, "list takes no arguments");
    }
    std::string converters = "[";
    std::string updates = "[";
    const std::vector<Unit> units = ListUnits(context);
    for (const Unit& unit : units) {
        std::string where;
        if (!unit.serial.empty()) {
            where += "  serial " + unit.serial;
        }
        if (!unit.path.empty()) {
            where += "  path " + unit.path;
        }
        if (unit.update) {
            context.out.Print("update-mode device" + where);
            updates += (updates.size() > 1 ? "," : "") + unit.Identity().Add("mode", "update").Text();
            continue;
        }
        unsigned char major = 0xFF, minor = 0xFF;
        Brg40HwInfo info = {};
        int hw = -1;
        if (unit.openStatus == 0) {
            int status = 0;
            Brg40Handle handle = brg40_open_device(unit.node.c_str(), &status);
            Called(context, "brg40_open_device(" + unit.node + ")", status);
            if (handle != nullptr) {
                Called(context, "brg40_get_fw_version", brg40_get_fw_version(handle, &major, &minor));
                hw = brg40_get_hw_info(handle, &info);
                Called(context, "brg40_get_hw_info", hw);
                brg40_close(handle);
            }
        }
        std::string line = "converter " + std::to_string(unit.number);
        if (unit.openStatus == 0) {
            line += "  firmware " + Version(major, minor) + "  hardware " + (hw == BRG40_OK ? HwText(info) : "unknown");
        }
        line += where + "  " + unit.State();
        if (unit.State() == "denied") {
            line += " (" + std::string(DeniedAdvice()) + ")";
        } else if (unit.State() == "busy") {
            line += " (held by another program)";
        }
        context.out.Print(line);
        converters += std::string(converters.size() > 1 ? "," : "") +
                      unit.Identity()
                          .Add("mode", "normal")
                          .Add("state", unit.State())
                          .Add("firmware", Version(major, minor))
                          .AddRaw("hardware", hw == BRG40_OK ? HwJson(info) : "null")
                          .Text();
    }
    return context.out.Finish(
        units.empty() ? kExitNoConverter : kExitOk,
        JsonObject().AddRaw("converters", converters + "]").AddRaw("update_devices", updates + "]"),
        units.empty() ? "no converter found" : "");
}

int RunInfoCommand(CommandContext& context) {
    if (context.args.words.size() != 1) {
        return UsageError(context, "info takes no arguments");
    }
    Converter converter;
    int code = 0;
    if (!OpenConverter(context, converter, code)) {
        return code;
    }
    unsigned char major = 0xFF, minor = 0xFF, dllMajor = 0xFF, dllMinor = 0xFF;
    Brg40HwInfo info = {};
    int status = brg40_get_fw_version(converter.handle, &major, &minor);
    if (Called(context, "brg40_get_fw_version", status) != kExitOk) {
        return CallFailed(context, "brg40_get_fw_version", status);
    }
    status = brg40_get_hw_info(converter.handle, &info);
    if (Called(context, "brg40_get_hw_info", status) != kExitOk) {
        return CallFailed(context, "brg40_get_hw_info", status);
    }
    status = brg40_get_dll_version(converter.handle, &dllMajor, &dllMinor);
    Called(context, "brg40_get_dll_version", status);
    context.out.Print(converter.name);
    context.out.Print("firmware  " + Version(major, minor));
    context.out.Print("hardware  " + HwText(info));
    context.out.Print("library   " + Version(dllMajor, dllMinor));
    return context.out.Finish(kExitOk, JsonObject(converter.identity)
                                           .Add("firmware", Version(major, minor))
                                           .AddRaw("hardware", HwJson(info))
                                           .Add("library", Version(dllMajor, dllMinor)));
}
