// The update engine as the main dialog shows it: its events become today's message boxes from the
// string table, the progress bar's colours, steps and texts, and the conversion check box.
// Portable (it talks to the dialog through DialogFace), so the host suites drive it too.
#ifndef BRG40_APP_DIALOG_EVENTS_H
#define BRG40_APP_DIALOG_EVENTS_H

#include <cstdint>

#include "dialog_face.h"
#include "firmup_state.h"
#include "update_events.h"
#include "update_pipe.h"

class DialogEvents : public UpdateEvents {
public:
    explicit DialogEvents(DialogFace& face) : m_face(face) {}

    bool AllowModelChange() override;
    bool ConfirmOlderOrEqual(uint16_t imageVersion, uint16_t deviceVersion) override;
    void PhaseStarted(UpdatePhase phase) override;
    void Progress(UpdatePhase phase, uint32_t done, uint32_t total) override;
    void Ended(UpdateStop reason) override;

private:
    DialogFace& m_face;
    UpdatePhase m_phase = UpdatePhase::ReadPreserved;
};

enum class RunOutcome {
    Completed,  // all written; message 119 shown
    Stopped,    // a rule or an exchange failed; its message shown
    Declined,   // the version question was answered No; nothing shown, nothing sent
};

// "[2] Write": the programming run of the file at path (the text of the path field) against the
// device's version read at start-up (0xFFFF when none was obtained), shown in the dialog.
RunOutcome ProgramFirmware(const char* path,
                           uint16_t currentVersion,
                           DialogFace& face,
                           UpdatePipe& pipe,
                           FirmupProgramState& state);

// The cancel command: the closing check shown in the dialog. True when the flash checked out and
// the close byte went out; otherwise message 121 was shown and the device stays in update mode.
bool CloseUpdateSession(DialogFace& face, UpdatePipe& pipe, FirmupProgramState& state);

#endif
