// Mapping of library statuses and loader messages onto brg40's exit codes.
#include "exit_codes.h"

#include "brg40firmup.h"

int ExitCodeForStatus(int status) {
    if (status == BRG40_OK) {
        return kExitOk;
    }
    return status == BRG40_NO_DEVICE ? kExitNoConverter : kExitFailed;
}

int ExitCodeForMessage(unsigned textId) {
    switch (textId) {
        case 112:  // the file could not be opened or read
        case 113:  // not firmware for this model (size or tag)
        case 115:  // checksum
            return kExitRefused;
        case 119:  // written
            return kExitOk;
        case 121:  // the flash read back does not check out
            return kExitMismatch;
        default:  // 116, 117, 125: an exchange with the loader failed
            return kExitFailed;
    }
}
