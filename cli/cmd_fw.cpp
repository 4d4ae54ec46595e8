// brg40 fw check | update | verify | finish: the update engine's image rules, programming run and
// closing check, shown on the console and driven over pipes kept open.
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "closing_check.h"
#include "command_context.h"
#include "console_events.h"
#include "console_pipe.h"
#include "console_seam.h"
#include "console_texts.h"
#include "exit_codes.h"
#include "firmware_image.h"
#include "programming_run.h"
#include "update_link.h"
#include "version_text.h"

namespace {

constexpr uint16_t kUnknownVersion = 0xFFFF;

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
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
    ConsoleEvents events;
    std::unique_ptr<UpdatePipe> link;
    ConsolePipe pipe;
    std::unique_ptr<PreservedStore> store;
    FirmupProgramState state;
    double start;

    explicit FwSession(CommandContext& c, const ConsoleSettings& settings)
        : context(c),
          events(
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

ConsoleSettings SettingsOf(const Arguments& args) {
    ConsoleSettings settings;
    settings.yes = args.yes;
    settings.canAsk = StdinIsTerminal() && StderrIsTerminal();
    settings.terminalBar = StderrIsTerminal() && !args.json;
    settings.allowModelChange = args.allowModelChange;
    return settings;
}

// The image refused, or the question answered No, before anything reached a device.
int Refused(CommandContext& context, ConsoleEvents& events, UpdateStop reason, const JsonObject& fields) {
    if (reason == UpdateStop::Declined) {
        return context.out.Finish(kExitRefused, fields, "the version question was answered No");
    }
    events.Ended(reason);  // the tool's message
    const StopReport report = ReportOfStop(reason);
    return context.out.Finish(report.exitCode, fields, MessageLine(*report.message));
}

UpdateStop JudgeImage(const Arguments& args, const std::string& path, CheckedImage& image) {
    return CheckImage(
        path.c_str(), [&args] { return args.allowModelChange; }, image);
}

int Check(CommandContext& context, const std::string& path) {
    ConsoleEvents events(SettingsOf(context.args), context.out, stdin, nullptr, Now);
    bool found = false;
    const uint16_t device = ReadVersion(context, found);
    // The check asks nothing: it tells whether the update would ask.
    CheckedImage image;
    const UpdateStop verdict = JudgeImage(context.args, path, image);
    const bool accepted = verdict == UpdateStop::Completed;
    const bool asks = accepted && ImageVersionNeedsQuestion(image.version, device);
    JsonObject fields;
    fields.Add("image_version", accepted ? VersionText(image.version) : "")
        .Add("device_version", VersionText(device))
        .AddBool("accepted", accepted)
        .AddBool("asks", asks);
    if (!accepted) {
        return Refused(context, events, verdict, fields);
    }
    context.out.Print("image " + VersionText(image.version) + "  device " + VersionText(device) + "  accepted" +
                      (asks ? " (same or older: the update asks)" : ""));
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

// Steps 5 to 7: the run, the check, the close byte. The run writes the image judged before the
// switch; a recovery (image null) judges the file itself, with the question, as the dialog does.
int RunAndClose(FwSession& s, const CheckedImage* image, const std::string& path, uint16_t before) {
    CommandContext& context = s.context;
    const double runStart = Now();
    const UpdateStop run = image != nullptr ? WriteImage(*image, s.events, s.pipe, s.state)
                                            : RunProgramming(path.c_str(), before, s.events, s.pipe, s.state);
    s.events.EndBar();
    const double checkStart = Now();
    JsonObject fields = s.Fields().Add("version_before", VersionText(before));
    if (s.pipe.Stopped()) {
        return context.out.Finish(kExitInterrupted, fields.AddNull("version_after"), kInterruptedDuringRun);
    }
    if (run == UpdateStop::Declined) {
        return context.out.Finish(kExitRefused, fields.AddNull("version_after"),
                                  "the version question was answered No");
    }
    if (run != UpdateStop::Completed) {
        const StopReport report = ReportOfStop(run);
        return context.out.Finish(report.exitCode, fields.AddNull("version_after"),
                                  MessageLine(*report.message) + " " + kLeftInUpdateMode);
    }
    const UpdateStop check = RunClosingCheck(s.events, s.pipe, s.state, CloseByte::Send);
    s.events.EndBar();
    // The run and the check with its close byte, apart from the switch and the waits around them.
    fields = s.Fields()
                 .Add("run_seconds", checkStart - runStart)
                 .Add("check_seconds", Now() - checkStart)
                 .Add("version_before", VersionText(before));
    if (s.pipe.Stopped()) {
        return context.out.Finish(kExitInterrupted, fields.AddNull("version_after"),
                                  check == UpdateStop::CloseNotSent ? kInterruptedBeforeClose : kInterruptedDuringRun);
    }
    if (check != UpdateStop::Completed) {
        const StopReport report = ReportOfStop(check);
        return context.out.Finish(report.exitCode, fields.AddNull("version_after"),
                                  MessageLine(*report.message) + " " + kLeftInUpdateMode);
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
        return RunAndClose(s, nullptr, path, before);  // from step 5
    }
    // The rules and the question before the converter leaves normal mode: a refused image
    // leaves it as it was.
    CheckedImage image;
    UpdateStop verdict = JudgeImage(context.args, path, image);
    if (verdict == UpdateStop::Completed && ImageVersionNeedsQuestion(image.version, before) &&
        !s.events.ConfirmOlderOrEqual(image.version, before)) {
        verdict = UpdateStop::Declined;
    }
    if (verdict != UpdateStop::Completed) {
        return Refused(context, s.events, verdict, s.Fields().Add("version_before", VersionText(before)));
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
    return RunAndClose(s, &image, path, before);
}

// fw verify and fw finish: the closing check over the update-mode device now there. verify holds
// the close byte back: the session stays open, and so does the stored copy of the device's block.
int CheckSession(CommandContext& context, bool close) {
    if (ListUpdateDevices().empty()) {
        return context.out.Finish(kExitNoConverter, JsonObject(), "no update-mode device found");
    }
    FwSession s(context, SettingsOf(context.args));
    const UpdateStop check = RunClosingCheck(s.events, s.pipe, s.state, close ? CloseByte::Send : CloseByte::Hold);
    s.events.EndBar();
    const bool matched = check == UpdateStop::Completed && !s.pipe.Stopped();
    JsonObject fields = s.Fields().AddBool("matched", matched).AddBool("closed", close && matched);
    if (s.pipe.Stopped()) {
        return context.out.Finish(kExitInterrupted, fields, "interrupted; the converter stays in update mode");
    }
    if (!matched) {
        const StopReport report = ReportOfStop(check);
        return context.out.Finish(report.exitCode, fields, MessageLine(*report.message) + " " + kLeftInUpdateMode);
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
