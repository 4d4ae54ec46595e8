// The command line of brg40: global and command options anywhere among the words, the command's
// positional words in order, and the numbers they hold.
#ifndef BRG40_CLI_ARGUMENTS_H
#define BRG40_CLI_ARGUMENTS_H

#include <string>
#include <vector>

struct Arguments {
    std::vector<std::string> words;  // command words and their positional arguments
    // -d/--device, once or more: a unit's number, serial:S, path:P or node (checked by the
    // commands); none: BRG40_DEVICE when set, else the only unit present.
    std::vector<std::string> devices;
    bool json = false;
    bool trace = false;
    bool yes = false;
    bool allowModelChange = false;
    bool help = false;
    bool all = false;             // fw update --all: every unit present
    bool watch = false;           // fw update --watch: each unit as it is plugged in, until Ctrl+C
    bool force = false;           // fw update with several units: units at the image's version are written too
    unsigned jobs = 0;            // --jobs: units in flight at once (0: all of them)
    double waitSeconds = 10.0;    // --wait: how long to wait for the update-mode device
    std::string outFile, inFile;  // -o, -i
    std::string reg, setting, mode, param;  // --reg, --setting, --mode, --param (numbers, checked by the command)
    std::string offset, length, size;       // --offset, --length, --size (spiflash; checked there)
    bool unprotect = false;                 // --unprotect (spiflash)
};

// Parses argv[1..argc-1]. False with a reason in error on an unknown option, a missing value, a
// -d that names no unit in any form, or a bad --wait or --jobs value.
bool ParseArguments(int argc, const char* const* argv, Arguments& out, std::string& error);

// A number in decimal or with 0x in hex, within 0 to max. False when it is not.
bool ParseNumber(const std::string& text, unsigned long max, unsigned long& value);

#endif
