// The engine's events rendered as the main dialog's message boxes and progress bar.
#include "dialog_events.h"

#include "closing_check.h"
#include "firmup_messages.h"
#include "firmup_protocol.h"
#include "programming_run.h"
#include "progress_text.h"

namespace {

// The message box of each way a run or a check stops; Completed and Declined have none here, and
// the dialog never requires its block copy on disk (it keeps one in memory while it runs), so a
// copy that could not be saved never stops its run.
struct StopMessage {
    UpdateStop reason;
    const FirmupMessage& message;
};
const StopMessage kStopMessages[] = {
    {UpdateStop::ImageUnreadable, kMsgOpenFailed},      {UpdateStop::NotFirmware, kMsgNotFirmware},
    {UpdateStop::ChecksumMismatch, kMsgChecksumFailed}, {UpdateStop::PreservedReadFailed, kMsgReadFailed},
    {UpdateStop::EraseFailed, kMsgEraseFailed},         {UpdateStop::WriteFailed, kMsgWriteFailed},
    {UpdateStop::ReadBackFailed, kMsgCloseFailed},      {UpdateStop::ReadBackMismatch, kMsgCloseFailed},
    {UpdateStop::CloseNotSent, kMsgCloseFailed},
};

BarPhase BarPhaseOf(UpdatePhase phase) {
    return phase == UpdatePhase::Erase   ? BarPhase::Erase
           : phase == UpdatePhase::Write ? BarPhase::Write
                                         : BarPhase::Close;
}

}  // namespace

bool DialogEvents::AllowModelChange() {
    return m_face.IsConversionChecked();
}

bool DialogEvents::ConfirmOlderOrEqual(uint16_t imageVersion, uint16_t) {
    return m_face.ShowMessage(kMsgVersionQuestion.text, kMsgVersionQuestion.caption, kMsgVersionQuestion.kind, true,
                              imageVersion >> 8, imageVersion & 0xFF) == kAnswerYes;  // only Yes goes on
}

void DialogEvents::PhaseStarted(UpdatePhase phase) {
    m_phase = phase;
    if (phase == UpdatePhase::ReadPreserved) {
        ShowBarWaiting(m_face);
    } else {
        StartBarPhase(m_face, BarPhaseOf(phase));
    }
}

void DialogEvents::Progress(UpdatePhase phase, uint32_t done, uint32_t total) {
    if (phase == UpdatePhase::Erase) {
        // The bar has always counted the erase by the address of the block just erased over the
        // last erase address, so it climbs from 0 to meet 8% first.
        const uint32_t flashAddress = kFlashImageStart + done - kEraseBlockSize;
        AdvanceBar(m_face, BarPhase::Erase, ProgressPercent(flashAddress, kLastEraseAddress));
    } else {
        AdvanceBar(m_face, BarPhaseOf(phase), ProgressPercent(done, total));
    }
}

void DialogEvents::Ended(UpdateStop reason) {
    if (reason == UpdateStop::Completed) {
        if (m_phase == UpdatePhase::Write) {  // the run; a check that matched says nothing
            ShowBarCompleted(m_face);
            m_face.ShowMessage(kMsgUpdated.text, kMsgUpdated.caption, kMsgUpdated.kind);
        }
        return;
    }
    for (const StopMessage& stop : kStopMessages) {
        if (stop.reason == reason) {
            m_face.ShowMessage(stop.message.text, stop.message.caption, stop.message.kind);
        }
    }
}

RunOutcome ProgramFirmware(const char* path,
                           uint16_t currentVersion,
                           DialogFace& face,
                           UpdatePipe& pipe,
                           FirmupProgramState& state) {
    DialogEvents events(face);
    switch (RunProgramming(path, currentVersion, events, pipe, state)) {
        case UpdateStop::Completed:
            return RunOutcome::Completed;
        case UpdateStop::Declined:
            return RunOutcome::Declined;
        default:
            return RunOutcome::Stopped;
    }
}

bool CloseUpdateSession(DialogFace& face, UpdatePipe& pipe, FirmupProgramState& state) {
    DialogEvents events(face);
    return RunClosingCheck(events, pipe, state, CloseByte::Send) == UpdateStop::Completed;
}
