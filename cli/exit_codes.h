// The exit codes of brg40 and how the outcomes of library calls and of the loader's messages map
// onto them.
#ifndef BRG40_CLI_EXIT_CODES_H
#define BRG40_CLI_EXIT_CODES_H

enum ExitCode : int {
    kExitOk = 0,             // success
    kExitFailed = 1,         // a device command or a transfer failed
    kExitUsage = 2,          // usage error
    kExitNoConverter = 3,    // no converter found
    kExitRefused = 4,        // image refused (file, size, checksum, model) or version question answered No
    kExitMismatch = 5,       // read-back mismatch: the converter stays in update mode
    kExitInterrupted = 130,  // interrupted (Ctrl+C)
};

// A library status: 0 succeeds, "no device" (-21) means no converter, anything else failed.
int ExitCodeForStatus(int status);

// A message of the programming run or of the closing check (its string-table text ID).
int ExitCodeForMessage(unsigned textId);

#endif
