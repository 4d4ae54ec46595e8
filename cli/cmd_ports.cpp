// brg40 gpo read | gpo write VALUE | led VALUE | power VALUE.
#include <vector>

#include "byte_input.h"
#include "command_context.h"
#include "exit_codes.h"

int RunPortCommand(CommandContext& context) {
    const std::vector<std::string>& w = context.args.words;
    const std::string& group = w[0];
    const bool gpoRead = group == "gpo" && w.size() == 2 && w[1] == "read";
    const size_t valueAt = group == "gpo" ? 2 : 1;
    unsigned long value = 0;
    if (!gpoRead &&
        (w.size() != valueAt + 1 || (group == "gpo" && w[1] != "write") || !ParseNumber(w[valueAt], 0xFF, value))) {
        return UsageError(context, group == "gpo" ? "gpo read | gpo write VALUE" : group + " VALUE");
    }
    Converter converter;
    int code = 0;
    if (!OpenConverter(context, converter, code)) {
        return code;
    }
    if (gpoRead) {
        unsigned char buffer[4] = {};
        const int status = brg40_gpo_read(converter.handle, buffer);
        if (Called(context, "brg40_gpo_read", status, buffer, sizeof buffer) != kExitOk) {
            return CallFailed(context, "brg40_gpo_read", status);
        }
        context.out.Print(HexLine(buffer, sizeof buffer));
        return context.out.Finish(kExitOk, JsonObject().Add("data", HexLine(buffer, sizeof buffer)));
    }
    const unsigned char byte = static_cast<unsigned char>(value);
    const std::string call = group == "gpo"   ? "brg40_gpo_write"
                             : group == "led" ? "brg40_led_control"
                                              : "brg40_power_control";
    const int status = group == "gpo"   ? brg40_gpo_write(converter.handle, byte)
                       : group == "led" ? brg40_led_control(converter.handle, byte)
                                        : brg40_power_control(converter.handle, byte);
    if (Called(context, call, status) != kExitOk) {
        return CallFailed(context, call, status);
    }
    return context.out.Finish(kExitOk, JsonObject().Add("value", static_cast<int>(value)));
}
