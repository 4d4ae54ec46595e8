// The exit codes of brg40, and how the outcomes of library calls and of the update engine map onto
// them.
#ifndef BRG40_CLI_EXIT_CODES_H
#define BRG40_CLI_EXIT_CODES_H

#include "english_strings.h"
#include "update_events.h"

enum ExitCode : int {
    kExitOk = 0,             // success
    kExitFailed = 1,         // a device command or a transfer failed
    kExitUsage = 2,          // usage error
    kExitNoConverter = 3,    // no converter found
    kExitRefused = 4,        // image refused (file, size, checksum, model) or version question answered No
    kExitMismatch = 5,       // read-back mismatch: the converter stays in update mode
    kExitDenied = 6,         // no permission to open the converter or install the driver (status 5)
    kExitInterrupted = 130,  // interrupted (Ctrl+C)
};

// A library status: 0 succeeds, "no device" (-21) means no converter, 5 (access denied) no
// permission, anything else failed.
int ExitCodeForStatus(int status);

// How brg40 reports the way a run or a check of the update engine ended: the exit code, and the
// update tool's message that says it (null where the tool shows none: a declined question, a check
// that matched).
struct StopReport {
    int exitCode;
    const EnglishString* message;
};
StopReport ReportOfStop(UpdateStop reason);

#endif
