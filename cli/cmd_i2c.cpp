// brg40 i2c scan | dump | read | write | speed | pullup | reset. The target word of a transfer is the
// device address, the target byte the register byte (--reg, default 0).
#include <cstdio>
#include <vector>

#include "byte_input.h"
#include "command_context.h"
#include "exit_codes.h"
#include "i2c_dump.h"
#include "i2c_scan.h"

namespace {

std::string Hex2(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

int Scan(CommandContext& context, Brg40Handle handle) {
    const std::vector<unsigned> found = ScanI2c(context, handle);
    // The grid of i2cdetect: rows of 16 addresses, "--" where nothing answered.
    context.out.Print("     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f");
    for (unsigned row = 0; row < 0x80; row += 0x10) {
        char line[80];
        int at = std::snprintf(line, sizeof line, "%02x:", row);
        for (unsigned address = row; address < row + 0x10; ++address) {
            bool hit = false;
            for (unsigned f : found) {
                hit = hit || f == address;
            }
            const char* cell = address < kFirstI2cAddress || address > kLastI2cAddress ? "   " : hit ? nullptr : " --";
            at += cell ? std::snprintf(line + at, sizeof line - at, "%s", cell)
                       : std::snprintf(line + at, sizeof line - at, " %02x", address);
        }
        std::string text = line;
        text.erase(text.find_last_not_of(' ') + 1);  // the last row ends at 0x77
        context.out.Print(text);
    }
    std::string list = "[";
    for (unsigned f : found) {
        list += (list.size() > 1 ? "," : "") + JsonString(Hex2(f));
    }
    return context.out.Finish(kExitOk, JsonObject().AddRaw("addresses", list + "]"));
}

}  // namespace

int RunI2cCommand(CommandContext& context) {
    const std::vector<std::string>& w = context.args.words;
    const std::string verb = w.size() > 1 ? w[1] : "";
    unsigned long address = 0, length = 0, value = 0, reg = 0;
    std::vector<uint8_t> bytes;
    std::string error;
    if (!context.args.reg.empty() && !ParseNumber(context.args.reg, 0xFF, reg)) {
        return UsageError(context, "--reg takes a byte");
    }
    if (verb == "scan" || verb == "reset") {
        if (w.size() != 2) {
            return UsageError(context, "i2c " + verb + " takes no arguments");
        }
    } else if (verb == "dump") {
        if (w.size() != 3 || !ParseNumber(w[2], 0x7F, address)) {
            return UsageError(context, "i2c dump ADDR (0x00 to 0x7F)");
        }
    } else if (verb == "read") {
        if (w.size() != 4 || !ParseNumber(w[2], 0xFFFF, address) || !ParseNumber(w[3], 0xFFFF, length) || length == 0) {
            return UsageError(context, "i2c read ADDR LEN");
        }
    } else if (verb == "write") {
        if (w.size() < 4 || !ParseNumber(w[2], 0xFFFF, address)) {
            return UsageError(context, "i2c write ADDR BYTES");
        }
        if (!ParseBytes(std::vector<std::string>(w.begin() + 3, w.end()), 0xFFFF, bytes, error) || bytes.empty()) {
            return UsageError(context, error.empty() ? "no bytes" : error);
        }
    } else if (verb == "speed") {
        if (w.size() != 3 || !ParseNumber(w[2], 1000, value) || (value != 1000 && value != 400 && value != 100)) {
            return UsageError(context, "i2c speed 1000|400|100");
        }
    } else if (verb == "pullup") {
        if (w.size() != 3 || !ParseNumber(w[2], 0xFF, value)) {
            return UsageError(context, "i2c pullup VALUE");
        }
    } else {
        return UsageError(context, "i2c scan|dump|read|write|speed|pullup|reset");
    }

    Converter converter;
    int code = 0;
    if (!OpenConverter(context, converter, code)) {
        return code;
    }
    Brg40Handle h = converter.handle;
    if (verb == "scan") {
        return Scan(context, h);
    }
    if (verb == "dump") {
        return DumpRegisters(context, h, static_cast<unsigned>(address));
    }
    int status = 0;
    std::string call;
    JsonObject result;
    if (verb == "read") {
        std::vector<uint8_t> buffer(length < 2 ? 2 : length);  // a read of one byte needs two
        call = "brg40_i2c_read_master";
        status = brg40_i2c_read_master(h, static_cast<unsigned short>(address), static_cast<unsigned char>(reg),
                                       static_cast<unsigned short>(length), buffer.data());
        Called(context, call, status, buffer.data(), length);
        if (status == BRG40_OK) {
            context.out.Print(HexLine(buffer.data(), length));
            result.Add("data", HexLine(buffer.data(), length));
        }
    } else if (verb == "write") {
        call = "brg40_i2c_write_master";
        if (context.trace) {
            context.trace->Line('>', call, bytes.data(), bytes.size());
        }
        status = brg40_i2c_write_master(h, static_cast<unsigned short>(address), static_cast<unsigned char>(reg),
                                        static_cast<unsigned short>(bytes.size()), bytes.data());
        Called(context, call, status);
        result.Add("written", static_cast<int>(bytes.size()));
    } else if (verb == "speed") {
        call = "brg40_i2c_set_freq";
        status = brg40_i2c_set_freq(h, value == 1000 ? 0 : value == 400 ? 1 : 2);
        Called(context, call, status);
        result.Add("khz", static_cast<int>(value));
    } else if (verb == "pullup") {
        call = "brg40_i2c_pullup";
        status = brg40_i2c_pullup(h, static_cast<unsigned char>(value));
        Called(context, call, status);
    } else {
        call = "brg40_i2c_bus_reset";
        status = brg40_i2c_bus_reset(h);
        Called(context, call, status);
    }
    if (status != BRG40_OK) {
        return CallFailed(context, call, status);
    }
    return context.out.Finish(kExitOk, result);
}
