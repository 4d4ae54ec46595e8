// The register table of brg40 i2c dump in i2cdump's layout.
#include "i2c_dump.h"

#include <cstdio>

#include "exit_codes.h"

std::vector<std::string> DumpLines(const int values[256]) {
    std::vector<std::string> lines{"     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f    0123456789abcdef"};
    for (int row = 0; row < 256; row += 16) {
        char text[16];
        std::snprintf(text, sizeof text, "%02x: ", row);
        std::string line = text, chars;
        for (int i = row; i < row + 16; ++i) {
            const int v = values[i];
            if (v < 0) {
                line += "XX ";
                chars += 'X';
                continue;
            }
            std::snprintf(text, sizeof text, "%02x ", v);
            line += text;
            chars += v == 0x00 || v == 0xFF ? '.' : v < 0x20 || v >= 0x7F ? '?' : static_cast<char>(v);
        }
        lines.push_back(line + "   " + chars);
    }
    return lines;
}

int DumpRegisters(CommandContext& context, Brg40Handle handle, unsigned address) {
    int values[256];
    int lastStatus = 0, read = 0;
    std::string json = "[";
    for (unsigned reg = 0; reg < 256; ++reg) {
        unsigned char buffer[2];  // a read of one byte needs two
        const int status = brg40_i2c_read_master(handle, static_cast<unsigned short>(address),
                                                 static_cast<unsigned char>(reg), 1, buffer);
        Called(context, "brg40_i2c_read_master(reg " + std::to_string(reg) + ", 1)", status, buffer, 1);
        values[reg] = status == BRG40_OK ? buffer[0] : -1;
        lastStatus = status == BRG40_OK ? lastStatus : status;
        read += status == BRG40_OK ? 1 : 0;
        json += (reg ? "," : "") + (values[reg] < 0 ? std::string("null") : std::to_string(values[reg]));
    }
    for (const std::string& line : DumpLines(values)) {
        context.out.Print(line);
    }
    char target[8];
    std::snprintf(target, sizeof target, "0x%02X", address);
    JsonObject fields = JsonObject().Add("address", target).AddRaw("registers", json + "]");
    if (read == 0) {
        return context.out.Finish(
            ExitCodeForStatus(lastStatus), fields.Add("status", lastStatus),
            std::string("no register of ") + target + " could be read (status " + std::to_string(lastStatus) + ")");
    }
    return context.out.Finish(kExitOk, fields);
}
