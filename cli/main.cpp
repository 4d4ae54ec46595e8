// brg40: the converter and its firmware updates from the command line.
#include <cstdio>
#include <memory>

#include "arguments.h"
#include "command_context.h"
#include "console_seam.h"
#include "console_texts.h"
#include "exit_codes.h"
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

int main(int argc, char** argv) {
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
            return group.run(context);
        }
    }
    return UsageError(context, "unknown command " + args.words[0]);
}
