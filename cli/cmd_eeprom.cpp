// brg40 eeprom read | write: hex on the terminal, or a file with -o / -i.
#include <vector>

#include "byte_input.h"
#include "command_context.h"
#include "exit_codes.h"

int RunEepromCommand(CommandContext& context) {
    const std::vector<std::string>& w = context.args.words;
    const std::string verb = w.size() > 1 ? w[1] : "";
    unsigned long length = 0;
    std::vector<uint8_t> bytes;
    std::string error;
    if (verb == "read") {
        if (w.size() != 3 || !ParseNumber(w[2], 0xFFFF, length) || length == 0) {
            return UsageError(context, "eeprom read LEN [-o FILE]");
        }
    } else if (verb == "write") {
        std::vector<std::string> words(w.begin() + (w.size() > 2 ? 2 : w.size()), w.end());
        if (!context.args.inFile.empty()) {
            words.push_back("@" + context.args.inFile);
        }
        if (!ParseBytes(words, 0xFFFF, bytes, error) || bytes.empty()) {
            return UsageError(context, error.empty() ? "eeprom write BYTES | -i FILE" : error);
        }
    } else {
        return UsageError(context, "eeprom read|write");
    }
    Converter converter;
    int code = 0;
    if (!OpenConverter(context, converter, code)) {
        return code;
    }
    if (verb == "read") {
        std::vector<uint8_t> buffer(length < 2 ? 2 : length);
        const int status = brg40_eeprom_read(converter.handle, static_cast<unsigned short>(length), buffer.data());
        if (Called(context, "brg40_eeprom_read", status, buffer.data(), length) != kExitOk) {
            return CallFailed(context, "brg40_eeprom_read", status);
        }
        if (!context.args.outFile.empty()) {
            if (!WriteFileBytes(context.args.outFile, buffer.data(), length)) {
                return context.out.Finish(kExitFailed, JsonObject(), "cannot write " + context.args.outFile);
            }
            return context.out.Finish(
                kExitOk, JsonObject().Add("length", static_cast<int>(length)).Add("file", context.args.outFile));
        }
        context.out.Print(HexLine(buffer.data(), length));
        return context.out.Finish(kExitOk, JsonObject().Add("data", HexLine(buffer.data(), length)));
    }
    if (context.trace) {
        context.trace->Line('>', "brg40_eeprom_write", bytes.data(), bytes.size());
    }
    const int status = brg40_eeprom_write(converter.handle, static_cast<unsigned short>(bytes.size()), bytes.data());
    if (Called(context, "brg40_eeprom_write", status) != kExitOk) {
        return CallFailed(context, "brg40_eeprom_write", status);
    }
    return context.out.Finish(kExitOk, JsonObject().Add("written", static_cast<int>(bytes.size())));
}
