// The programming run behind "[2] Write": checks the image file, carries the device's preserved
// block into it, erases the application flash and writes the image, showing progress and messages.
#ifndef BRG40_PROGRAMMING_RUN_H
#define BRG40_PROGRAMMING_RUN_H

#include <cstdint>

#include "dialog_face.h"
#include "firmup_state.h"
#include "update_pipe.h"

enum class RunOutcome {
    Completed,  // all written; message 119 shown
    Stopped,    // a rule or an exchange failed; its message shown
    Declined,   // the version question was answered No; nothing shown, nothing sent
};

// path: the text of the path field; currentVersion: the device's version read at start-up
// (0xFFFF when none was obtained). Allocates its buffers and releases them on every way out;
// sends no command before the file has passed its checks and the version question.
RunOutcome ProgramFirmware(const char* path,
                           uint16_t currentVersion,
                           DialogFace& face,
                           UpdatePipe& pipe,
                           FirmupProgramState& state);

#endif
