// brg40 list and brg40 info: the converters in normal mode and the update-mode device.
#include <cstdio>

#include "command_context.h"
#include "exit_codes.h"
#include "update_link.h"
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
    int count = 0;
    int numbers[9] = {};
    const int found = brg40_find_device(&count, numbers);
    Called(context, "brg40_find_device", found);
    std::string converters = "[";
    for (int i = 0; found == BRG40_OK && i < count && i < 9; ++i) {
        int status = 0;
        Brg40Handle handle = brg40_open_ex(numbers[i], &status);
        unsigned char major = 0xFF, minor = 0xFF;
        Brg40HwInfo info = {};
        const int version = brg40_get_fw_version(handle, &major, &minor);
        const int hw = brg40_get_hw_info(handle, &info);
        brg40_close(handle);
        Called(context, "brg40_get_fw_version(" + std::to_string(numbers[i]) + ")", version);
        Called(context, "brg40_get_hw_info(" + std::to_string(numbers[i]) + ")", hw);
        context.out.Print("converter " + std::to_string(numbers[i]) + "  firmware " + Version(major, minor) +
                          "  hardware " + (hw == BRG40_OK ? HwText(info) : "unknown"));
        converters += std::string(i ? "," : "") + JsonObject()
                                                      .Add("number", numbers[i])
                                                      .Add("firmware", Version(major, minor))
                                                      .AddRaw("hardware", hw == BRG40_OK ? HwJson(info) : "null")
                                                      .Text();
    }
    std::string updates = "[";
    for (const std::string& path : ListUpdateDevices()) {
        context.out.Print("update-mode device  " + path);
        updates += (updates.size() > 1 ? "," : "") + JsonString(path);
    }
    const bool none = converters.size() == 1 && updates.size() == 1;
    return context.out.Finish(
        none ? kExitNoConverter : kExitOk,
        JsonObject().AddRaw("converters", converters + "]").AddRaw("update_devices", updates + "]"),
        none ? "no converter found" : "");
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
    context.out.Print("converter " + std::to_string(converter.number));
    context.out.Print("firmware  " + Version(major, minor));
    context.out.Print("hardware  " + HwText(info));
    context.out.Print("library   " + Version(dllMajor, dllMinor));
    return context.out.Finish(kExitOk, JsonObject()
                                           .Add("number", converter.number)
                                           .Add("firmware", Version(major, minor))
                                           .AddRaw("hardware", HwJson(info))
                                           .Add("library", Version(dllMajor, dllMinor)));
}
