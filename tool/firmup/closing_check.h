// The closing check behind the cancel command: reads the application flash back, and only when
// its checksum matches ends the update session with the close byte.
#ifndef BRG40_CLOSING_CHECK_H
#define BRG40_CLOSING_CHECK_H

#include "dialog_face.h"
#include "firmup_state.h"
#include "update_pipe.h"

// Returns true when the flash checked out and the close byte went out; otherwise message 121 was
// shown and the device stays in update mode. The caller ends the dialog afterwards either way.
bool CloseUpdateSession(DialogFace& face, UpdatePipe& pipe, FirmupProgramState& state);

#endif
