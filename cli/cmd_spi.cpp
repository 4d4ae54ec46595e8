// brg40 spi speed | xfer: the SPI master (setting byte from --setting, default 0).
#include <vector>

#include "byte_input.h"
#include "command_context.h"
#include "exit_codes.h"

int RunSpiCommand(CommandContext& context) {
    const std::vector<std::string>& w = context.args.words;
    const std::string verb = w.size() > 1 ? w[1] : "";
    unsigned long setting = 0, khz = 0;
    std::vector<uint8_t> bytes;
    std::string error;
    if (!context.args.setting.empty() && !ParseNumber(context.args.setting, 0xFF, setting)) {
        return UsageError(context, "--setting takes a byte");
    }
    if (verb == "speed") {
        if (w.size() != 3 || !ParseNumber(w[2], 0xFFFF, khz)) {
            return UsageError(context, "spi speed KHZ");
        }
    } else if (verb == "xfer") {
        if (!ParseBytes(std::vector<std::string>(w.begin() + (w.size() > 2 ? 2 : w.size()), w.end()), 0xFFFF, bytes,
                        error) ||
            bytes.empty()) {
            return UsageError(context, error.empty() ? "spi xfer BYTES" : error);
        }
    } else {
        return UsageError(context, "spi speed|xfer");
    }
    Converter converter;
    int code = 0;
    if (!OpenConverter(context, converter, code)) {
        return code;
    }
    if (verb == "speed") {
        unsigned short actual = 0xFFFF;
        const int status = brg40_spi_set_freq(converter.handle, static_cast<unsigned char>(setting),
                                              static_cast<unsigned short>(khz), &actual);
        if (Called(context, "brg40_spi_set_freq", status) != kExitOk) {
            return CallFailed(context, "brg40_spi_set_freq", status);
        }
        context.out.Print(std::to_string(actual));
        return context.out.Finish(kExitOk, JsonObject().Add("requested", static_cast<int>(khz)).Add("actual", actual));
    }
    std::vector<uint8_t> received(bytes.size());
    if (context.trace) {
        context.trace->Line('>', "brg40_spi_transmit_master", bytes.data(), bytes.size());
    }
    const int status =
        brg40_spi_transmit_master(converter.handle, static_cast<unsigned char>(setting),
                                  static_cast<unsigned short>(bytes.size()), bytes.data(), received.data());
    if (Called(context, "brg40_spi_transmit_master", status, received.data(), received.size()) != kExitOk) {
        return CallFailed(context, "brg40_spi_transmit_master", status);
    }
    context.out.Print(HexLine(received.data(), received.size()));
    return context.out.Finish(kExitOk, JsonObject()
                                           .Add("sent", HexLine(bytes.data(), bytes.size()))
                                           .Add("received", HexLine(received.data(), received.size())));
}
