// update_client: the update without the window: the same library calls at start, and the same
// programming run and closing check over the update-mode pipes, with a face that shows nothing.
// It measures what the tool's window and progress bar add to the discoveries and transfers.
//   update_client.exe IMAGE      prints "client run_ms=N close_ms=N messages=... closed=0|1"
#include <windows.h>

#include <cstdio>
#include <string>

#include "brg40firmup.h"
#include "device_update_pipe.h"
#include "dialog_events.h"
#include "firmup_state.h"

namespace {

// Answers every question with Yes and keeps the bar's position as the standard control would.
class QuietFace : public DialogFace {
public:
    std::string messages;
    int ShowMessage(unsigned textId, unsigned, BoxKind kind, bool, unsigned, unsigned) override {
        messages += (messages.empty() ? "" : ",") + std::to_string(textId);
        return kind == kBoxQuestion ? kAnswerYes : kAnswerOk;
    }
    void SetBarColors(BarColor, BarColor, BarColor) override {}
    void SetBarPos(int position) override { m_pos = position < 0 ? 0 : position > 100 ? 100 : position; }
    int GetBarPos() override { return m_pos; }
    void StepBar() override { m_pos = m_pos >= 100 ? 0 : m_pos + 1; }
    void SetBarText(const char*) override {}
    void RedrawBar() override {}
    bool IsConversionChecked() override { return false; }

private:
    int m_pos = 0;
};

double Ms(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: update_client IMAGE\n");
        return 2;
    }
    int status = 0;
    Brg40Handle device = brg40_open(&status);
    unsigned char major = 0xFF, minor = 0xFF;
    brg40_get_fw_version(device, &major, &minor);
    brg40_close(device);
    device = brg40_open(&status);
    brg40_change_firmup_mode(device);
    brg40_close(device);
    Sleep(1000);  // as the tool: time for the converter to come back in update mode

    QuietFace face;
    DeviceUpdatePipe pipe;
    FirmupProgramState state;
    LARGE_INTEGER t0, t1, t2;
    QueryPerformanceCounter(&t0);
    const RunOutcome outcome = ProgramFirmware(argv[1], static_cast<uint16_t>(major << 8 | minor), face, pipe, state);
    QueryPerformanceCounter(&t1);
    const bool closed = CloseUpdateSession(face, pipe, state);
    QueryPerformanceCounter(&t2);
    fprintf(stderr, "client run_ms=%.0f close_ms=%.0f messages=%s completed=%d closed=%d\n", Ms(t0, t1), Ms(t1, t2),
            face.messages.c_str(), outcome == RunOutcome::Completed ? 1 : 0, closed ? 1 : 0);
    return outcome == RunOutcome::Completed && closed ? 0 : 1;
}
