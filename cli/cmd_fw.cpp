// brg40 fw check | update | verify | finish: the update tool's programming run and closing check
// driven through the console face and pipes kept open.
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "byte_input.h"
#include "closing_check.h"
#include "command_context.h"
#include "console_face.h"
#include "console_pipe.h"
#include "console_seam.h"
#include "console_texts.h"
#include "exit_codes.h"
#include "firmup_messages.h"
#include "firmware_image.h"
#include "programming_run.h"
#include "update_link.h"

namespace {

constexpr uint16_t kUnknownVersion = 0xFFFF;

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// A pipe that never opens: the programming run over it stops at its first exchange, after the
// file has passed every rule and the version question. Nothing reaches a device.
class ClosedPipe : public UpdatePipe {
public:
    int Write(const uint8_t*, uint32_t) override { return -1; }
    int Read(uint8_t*, uint32_t) override { return -1; }
    std::string DeviceId() override { return {}; }
};

// The face of the trial run: the question goes to the console face (asked once), the refusals
// are kept to be shown once, the bar is not shown.
class TrialFace : public DialogFace {
public:
    // face: where the question goes; null answers it Yes without a word (fw check only tells).
    TrialFace(ConsoleFace* face, bool allowModelChange) : m_face(face), m_allowModelChange(allowModelChange) {}
    int ShowMessage(unsigned textId, unsigned captionId, BoxKind kind, bool hasVersion, unsigned major, unsigned minor)
        override {
        if (kind == kBoxQuestion) {
            return m_face ? m_face->ShowMessage(textId, captionId, kind, hasVersion, major, minor) : kAnswerYes;
        }
        refusal = textId;
        return kAnswerOk;
    }
    void SetBarColors(BarColor, BarColor, BarColor) override {}
    void SetBarPos(int) override {}
    int GetBarPos() override { return 0; }
    void StepBar() override {}
    void SetBarText(const char*) override {}
    void RedrawBar() override {}
    bool IsConversionChecked() override { return m_allowModelChange; }
    unsigned refusal = 0;

private:
    ConsoleFace* m_face;
    bool m_allowModelChange;
};

// The image's rules, in the programming run's own order, without touching a device: 0 when the
// image would be written, else the text ID of the refusal; 1 when the question was answered No.
unsigned TrialRun(const std::string& path, uint16_t currentVersion, ConsoleFace* face, bool allowModelChange) {
    TrialFace trial(face, allowModelChange);
    ClosedPipe closed;
    FirmupProgramState state;
    const RunOutcome outcome = ProgramFirmware(path.c_str(), currentVersion, trial, closed, state);
    if (outcome == RunOutcome::Declined) {
        return 1;
    }
    return trial.refusal == kMsgReadFailed.text ? 0 : trial.refusal;  // the closed pipe's stop
}

uint16_t ImageVersion(const std::string& path) {
    std::vector<uint8_t> file;
    if (!ReadFileBytes(path, file) || file.size() < kTrailerSize) {
        return kUnknownVersion;
    }
    return ReadImageTrailer(file.data(), static_cast<uint32_t>(file.size())).version;
}

// The converter's version in normal mode (kUnknownVersion when none answers), through the library.
uint16_t ReadVersion(CommandContext& context, bool& found) {
    found = false;
    int count = 0;
    int numbers[9] = {};
    if (brg40_find_device(&count, numbers) != BRG40_OK) {
        return kUnknownVersion;
    }
    bool present = context.args.device == 0;
    for (int i = 0; i < count && i < 9; ++i) {
        present = present || numbers[i] == context.args.device;
    }
    if (!present) {
        return kUnknownVersion;
    }
    ConsoleOutput quiet(false, nullptr, nullptr);  // a failed open is not this step's result
    CommandContext silent{context.args, quiet, context.trace};
    Converter converter;
    int code = 0;
    if (!OpenConverter(silent, converter, code)) {
        return kUnknownVersion;
    }
    found = true;
    unsigned char major = 0xFF, minor = 0xFF;
    const int status = brg40_get_fw_version(converter.handle, &major, &minor);
    Called(context, "brg40_get_fw_version", status);
    return status == BRG40_OK ? static_cast<uint16_t>(major << 8 | minor) : kUnknownVersion;
}

struct FwSession {
    CommandContext& context;
    ConsoleFace face;
    std::unique_ptr<UpdatePipe> link;
    ConsolePipe pipe;
    std::unique_ptr<PreservedStore> store;
    FirmupProgramState state;
    double start;

    explicit FwSession(CommandContext& c, const FaceSettings& settings)
        : context(c),
          face(
              settings,
              c.out,
              stdin,
              [] { return Interrupted(); },
              Now),
          link(MakeUpdateLink()),
          pipe(
              *link,
              [] { return Interrupted(); },
              c.trace),
          store(MakePreservedStore()),
          state(store.get()),
          start(Now()) {}

    JsonObject Fields() const { return JsonObject().Add("seconds", Now() - start).Add("exchanges", pipe.Writes()); }
};

FaceSettings SettingsOf(const Arguments& args) {
    FaceSettings settings;
    settings.yes = args.yes;
    settings.canAsk = StdinIsTerminal() && StderrIsTerminal();
    settings.terminalBar = StderrIsTerminal() && !args.json;
    settings.allowModelChange = args.allowModelChange;
    return settings;
}

int Refused(CommandContext& context, ConsoleFace& face, unsigned refusal, const JsonObject& fields) {
    if (refusal == 1) {
        return context.out.Finish(kExitRefused, fields, "the version question was answered No");
    }
    const FirmupMessage* all[] = {&kMsgOpenFailed, &kMsgNotFirmware, &kMsgChecksumFailed};
    for (const FirmupMessage* message : all) {
        if (message->text == refusal) {
            face.ShowMessage(message->text, message->caption, message->kind, false, 0, 0);
        }
    }
    return context.out.Finish(ExitCodeForMessage(refusal), fields, MessageLine(refusal));
}

int Check(CommandContext& context, const std::string& path) {
    ConsoleFace face(SettingsOf(context.args), context.out, stdin, nullptr, Now);
    bool found = false;
    const uint16_t device = ReadVersion(context, found);
    // The check asks nothing: it tells whether the update would ask.
    const unsigned refusal = TrialRun(path, device, nullptr, context.args.allowModelChange);
    const uint16_t image = ImageVersion(path);
    JsonObject fields;
    fields.Add("image_version", refusal == 0 ? VersionText(image) : "")
        .Add("device_version", VersionText(device))
        .AddBool("accepted", refusal == 0)
        .AddBool("asks", refusal == 0 && ImageVersionNeedsQuestion(image, device));
    if (refusal != 0) {
        return Refused(context, face, refusal, fields);
    }
    context.out.Print("image " + VersionText(image) + "  device " + VersionText(device) + "  accepted" +
                      (ImageVersionNeedsQuestion(image, device) ? " (same or older: the update asks)" : ""));
    return context.out.Finish(kExitOk, fields);
}

// The converter back in normal mode after the close byte: its version, polled up to the wait.
uint16_t VersionAfter(CommandContext& context) {
    const double limit = Now() + context.args.waitSeconds;
    for (;;) {
        bool found = false;
        const uint16_t version = ReadVersion(context, found);
        if (found || Now() >= limit) {
            return version;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

// Steps 5 to 7: the run, the check, the close byte. Also the recovery path.
int RunAndClose(FwSession& s, const std::string& path, uint16_t before) {
    CommandContext& context = s.context;
    const double runStart = Now();
    const RunOutcome outcome = ProgramFirmware(path.c_str(), before, s.face, s.pipe, s.state);
    s.face.EndBar();
    const double checkStart = Now();
    JsonObject fields = s.Fields().Add("version_before", VersionText(before));
    if (s.pipe.Stopped()) {
        return context.out.Finish(kExitInterrupted, fields.AddNull("version_after"), kInterruptedDuringRun);
    }
    if (outcome == RunOutcome::Declined) {
        return context.out.Finish(kExitRefused, fields.AddNull("version_after"),
                                  "the version question was answered No");
    }
    if (outcome == RunOutcome::Stopped) {
        const unsigned message = s.face.LastMessage();
        return context.out.Finish(ExitCodeForMessage(message), fields.AddNull("version_after"),
                                  MessageLine(message) + " " + kLeftInUpdateMode);
    }
    const bool closed = CloseUpdateSession(s.face, s.pipe, s.state);
    s.face.EndBar();
    // The run and the check with its close byte, apart from the switch and the waits around them.
    fields = s.Fields()
                 .Add("run_seconds", checkStart - runStart)
                 .Add("check_seconds", Now() - checkStart)
                 .Add("version_before", VersionText(before));
    if (s.pipe.Stopped()) {
        return context.out.Finish(kExitInterrupted, fields.AddNull("version_after"),
                                  s.pipe.CloseByteRefused() ? kInterruptedBeforeClose : kInterruptedDuringRun);
    }
    if (!closed) {
        return context.out.Finish(kExitMismatch, fields.AddNull("version_after"),
                                  MessageLine(kMsgCloseFailed.text) + " " + kLeftInUpdateMode);
    }
    const uint16_t after = VersionAfter(context);
    context.out.Print("updated " + VersionText(before) + " -> " + VersionText(after));
    return context.out.Finish(kExitOk, fields.Add("version_after", VersionText(after)));
}

int Update(CommandContext& context, const std::string& path) {
    FwSession s(context, SettingsOf(context.args));
    bool found = false;
    const uint16_t before = ReadVersion(context, found);  // step 1
    if (!found) {
        if (ListUpdateDevices().empty()) {
            return context.out.Finish(kExitNoConverter, s.Fields(), "no converter found");
        }
        context.out.Note("no converter in normal mode; an update-mode device is there: recovering");
        context.out.Event("phase", JsonObject().Add("phase", "recovery"));
        return RunAndClose(s, path, before);  // from step 5
    }
    // The rules and the question before the converter leaves normal mode: a refused image
    // leaves it as it was.
    const unsigned refusal = TrialRun(path, before, &s.face, context.args.allowModelChange);
    if (refusal != 0) {
        return Refused(context, s.face, refusal, s.Fields().Add("version_before", VersionText(before)));
    }
    if (InstallUpdateDriverIfBeside()) {  // step 2
        context.out.Note("update-mode driver installed from brg40fup.inf");
    }
    {  // step 3
        Converter converter;
        int code = 0;
        if (!OpenConverter(context, converter, code)) {
            return code;
        }
        const int status = brg40_change_firmup_mode(converter.handle);
        Called(context, "brg40_change_firmup_mode", status);
    }
    context.out.Event("phase", JsonObject().Add("phase", "switch"));
    context.out.Note("waiting for the update-mode device ...");
    if (!WaitForUpdateDevice(context.args.waitSeconds, [] { return Interrupted(); })) {  // step 4
        if (Interrupted()) {
            return context.out.Finish(kExitInterrupted, s.Fields(),
                                      "interrupted while waiting for the update-mode device");
        }
        return context.out.Finish(kExitFailed, s.Fields(), "no update-mode device appeared within the wait");
    }
    return RunAndClose(s, path, before);
}

// fw verify and fw finish: the closing check over the update-mode device now there.
int CheckSession(CommandContext& context, bool close) {
    if (ListUpdateDevices().empty()) {
        return context.out.Finish(kExitNoConverter, JsonObject(), "no update-mode device found");
    }
    FwSession s(context, SettingsOf(context.args));
    if (!close) {
        s.pipe.HoldCloseByte();
    }
    const bool matched = CloseUpdateSession(s.face, s.pipe, s.state);
    s.face.EndBar();
    JsonObject fields = s.Fields()
                            .AddBool("matched", matched && !s.pipe.Stopped())
                            .AddBool("closed", close && matched && !s.pipe.Stopped());
    if (s.pipe.Stopped()) {
        return context.out.Finish(kExitInterrupted, fields, "interrupted; the converter stays in update mode");
    }
    if (!matched) {
        return context.out.Finish(kExitMismatch, fields, MessageLine(kMsgCloseFailed.text) + " " + kLeftInUpdateMode);
    }
    if (!close) {
        context.out.Print("the flash checks out; the session stays open (brg40 fw finish closes it)");
        return context.out.Finish(kExitOk, fields);
    }
    const uint16_t after = VersionAfter(context);
    context.out.Print("the flash checks out; session closed, firmware " + VersionText(after));
    return context.out.Finish(kExitOk, fields.Add("version_after", VersionText(after)));
}

}  // namespace

int RunFirmwareCommand(CommandContext& context) {
    const std::vector<std::string>& w = context.args.words;
    const std::string verb = w.size() > 1 ? w[1] : "";
    if ((verb == "check" || verb == "update") && w.size() != 3) {
        return UsageError(context, "fw " + verb + " FILE");
    }
    if ((verb == "verify" || verb == "finish") && w.size() != 2) {
        return UsageError(context, "fw " + verb + " takes no arguments");
    }
    WatchInterrupt();
    if (verb == "check") {
        return Check(context, w[2]);
    }
    if (verb == "update") {
        return Update(context, w[2]);
    }
    if (verb == "verify" || verb == "finish") {
        return CheckSession(context, verb == "finish");
    }
    return UsageError(context, "fw check|update|verify|finish");
}
