// brg40: the converter and its firmware updates from the command line. The program's entry point
// is the platform's (entry_posix.cpp, entry_win32.cpp): it hands over the arguments in UTF-8.
#include <cstdio>
#include <memory>

#include "arguments.h"
#include "command_context.h"
#include "console_seam.h"
#include "console_texts.h"
#include "entry.h"
#include "exit_codes.h"
#include "interrupt_state.h"
#include "update_link.h"

namespace {

struct Group {
    const char* name;
    int (*run)(CommandContext&);
};

const Group kGroups[] = {
    {"list", RunListCommand},   {"info", RunInfoCommand},      {"i2c", RunI2cCommand},
    {"spi", RunSpiCommand},     {"eeprom", RunEepromCommand},  {"gpo", RunPortCommand},
    {"led", RunPortCommand},    {"power", RunPortCommand},     {"slave", RunSlaveCommand},
    {"fw", RunFirmwareCommand}, {"spiflash", RunFlashCommand}, {"selftest", RunSelftestCommand},
};

}  // namespace

int Brg40Main(int argc, const char* const* argv) {
    PrepareProcess();
    Arguments args;
    std::string error;
    const bool parsed = ParseArguments(argc, argv, args, error);
    ConsoleOutput out(parsed && args.json, stdout, stderr);
    if (!parsed) {
        return out.Finish(kExitUsage, JsonObject(), error + " (brg40 --help)");
    }
    if (args.help || args.words.empty()) {
        std::fputs(kHelpText, args.help ? stdout : stderr);
        return args.help ? kExitOk : kExitUsage;
    }
    ShowDeviceDiagnostics(args.trace);  // stdout carries results only
    std::unique_ptr<Trace> trace(args.trace ? new Trace(stderr, Now) : nullptr);
    CommandContext context{args, out, trace.get()};
    if ((args.all || args.watch || args.force || args.jobs != 0) && args.words[0] != "fw") {
        return UsageError(context, "--all, --watch, --force and --jobs belong to fw update");
    }
    for (const Group& group : kGroups) {
        if (args.words[0] == group.name) {
            const int code = group.run(context);
            TheInterruptState().Finish();  // a console handler that waits for the result may return
            return code;
        }
    }
    return UsageError(context, "unknown command " + args.words[0]);
}
