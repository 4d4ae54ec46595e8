// brg40 slave i2c|spi: the converter as a slave; prints each batch an outside master sends, until
// Ctrl+C, then clears the slave mode.
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "byte_input.h"
#include "command_context.h"
#include "console_seam.h"
#include "exit_codes.h"

namespace {

// The library delivers on its worker thread; the main thread takes the batch from here.
std::atomic<bool> delivered{false};
unsigned int deliveredCount = 0;
unsigned char deliveredData[BRG40_SLAVE_AREA_DATA];

int OnSlaveData(unsigned int count, unsigned char* area) {
    deliveredCount = count > BRG40_SLAVE_AREA_DATA ? BRG40_SLAVE_AREA_DATA : count;
    std::memcpy(deliveredData, area, deliveredCount);
    delivered = true;
    return 0;
}

}  // namespace

int RunSlaveCommand(CommandContext& context) {
    const std::vector<std::string>& w = context.args.words;
    unsigned long mode = 2, parameter = 0;
    if (w.size() != 2 || (w[1] != "i2c" && w[1] != "spi") ||
        (!context.args.mode.empty() && !ParseNumber(context.args.mode, 0xFF, mode)) ||
        (!context.args.param.empty() && !ParseNumber(context.args.param, 0xFFFF, parameter))) {
        return UsageError(context, "slave i2c|spi [--mode M] [--param P]");
    }
    const bool i2c = w[1] == "i2c";
    Converter converter;
    int code = 0;
    if (!OpenConverter(context, converter, code)) {
        return code;
    }
    WatchInterrupt();
    int status = brg40_mode_change_ex(converter.handle, static_cast<int>(mode), static_cast<unsigned short>(parameter));
    if (Called(context, "brg40_mode_change_ex", status) != kExitOk) {
        return CallFailed(context, "brg40_mode_change_ex", status);
    }
    context.out.Note("waiting for data from the outside master (Ctrl+C ends)");
    long batches = 0;
    while (!Interrupted()) {
        delivered = false;
        if (i2c) {
            brg40_i2c_read_slave(converter.handle, 0, OnSlaveData, nullptr);
        } else {
            brg40_spi_transmit_slave(converter.handle, 0, OnSlaveData, nullptr);
        }
        while (!delivered && !Interrupted()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (delivered) {
            ++batches;
            Called(context, i2c ? "slave i2c data" : "slave spi data", 0, deliveredData, deliveredCount);
            context.out.Print(HexLine(deliveredData, deliveredCount));
            context.out.Event("data", JsonObject().Add("data", HexLine(deliveredData, deliveredCount)));
        }
    }
    // The owner's change without the slave bit ends the mode and lets the worker go.
    status = brg40_mode_change_ex(converter.handle, 0, 0);
    Called(context, "brg40_mode_change_ex(0)", status);
    std::this_thread::sleep_for(std::chrono::milliseconds(600));  // the worker notices within 500 ms
    if (status != BRG40_OK) {
        return CallFailed(context, "brg40_mode_change_ex", status);
    }
    return context.out.Finish(kExitOk, JsonObject().Add("batches", batches));
}
