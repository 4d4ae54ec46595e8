// What every command gets: its arguments, the output, the trace, and the converter it works on.
#ifndef BRG40_CLI_COMMAND_CONTEXT_H
#define BRG40_CLI_COMMAND_CONTEXT_H

#include <string>

#include "arguments.h"
#include "brg40firmup.h"
#include "console_output.h"
#include "trace.h"

struct CommandContext {
    const Arguments& args;
    ConsoleOutput& out;
    Trace* trace;  // null without --trace
};

// The converter a bench command works on: the one -d names, or the only one present (units.h).
struct Converter {
    Brg40Handle handle = nullptr;
    int number = 0;
    std::string name;     // how the output names it
    JsonObject identity;  // its number, serial and path for --json
    Converter() = default;
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    ~Converter() {
        if (handle != nullptr) {
            brg40_close(handle);
        }
    }
};

// Opens it (units.cpp); false with out's result written when it cannot be chosen or opened (code:
// the exit code: 3 none, 2 several or a usage error, 1 in update mode, denied or the open failed).
bool OpenConverter(CommandContext& context, Converter& converter, int& code);

// Seconds on a steady clock: durations in the output, the progress rates, the trace's times.
double Now();

// Traces a library call and its status (and bytes), and tells the exit code of the status.
int Called(CommandContext& context,
           const std::string& call,
           int status,
           const unsigned char* data = nullptr,
           size_t size = 0);

// The result of a failed library call: exit code 1 (3 for "no device") with the call and status named.
int CallFailed(CommandContext& context, const std::string& call, int status);

// A usage error of the command: exit code 2.
int UsageError(CommandContext& context, const std::string& what);

// The command groups (the words after the program name are in context.args.words).
int RunListCommand(CommandContext& context);
int RunInfoCommand(CommandContext& context);
int RunI2cCommand(CommandContext& context);
int RunSpiCommand(CommandContext& context);
int RunEepromCommand(CommandContext& context);
int RunPortCommand(CommandContext& context);  // gpo, led, power
int RunSlaveCommand(CommandContext& context);
int RunFirmwareCommand(CommandContext& context);
int RunSelftestCommand(CommandContext& context);  // what a user can run safely and report
int RunFlashCommand(CommandContext& context);

#endif
