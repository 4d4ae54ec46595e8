// The closing check: reads the application flash back and, only when its checksum matches, ends
// the update session with the close byte (or leaves it open when asked to hold the byte back).
#ifndef BRG40_CLOSING_CHECK_H
#define BRG40_CLOSING_CHECK_H

#include "firmup_state.h"
#include "update_events.h"
#include "update_pipe.h"

enum class CloseByte {
    Send,  // a match ends the session: the device starts its new firmware
    Hold,  // a match is only reported: the session stays open, the stored block copy stays too
};

// Completed when the flash checked out (and, with CloseByte::Send, the close byte went out; the
// stored copy of the device's block is then dropped); else ReadBackFailed, ReadBackMismatch or
// CloseNotSent, and the device stays in update mode. Ends with events.Ended(reason).
UpdateStop RunClosingCheck(UpdateEvents& events, UpdatePipe& pipe, FirmupProgramState& state, CloseByte close);

#endif
