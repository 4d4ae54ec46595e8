// brg40 fw check | update | verify | finish: the update engine's image rules, programming run and
// closing check, shown on the console and driven over pipes kept open.
#include <algorithm>
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
#include "units.h"
#include "update_link.h"
#include "version_text.h"

namespace {

constexpr uint16_t kUnknownVersion = 0xFFFF;

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The version of a unit in normal mode (kUnknownVersion when it does not answer), through the
// library; opened and closed again.
uint16_t ReadUnitVersion(CommandContext& context, const Unit& unit) {
    if (unit.update) {
        return kUnknownVersion;
    }
    int status = 0;
    Brg40Handle handle = brg40_open_device(unit.node.c_str(), &status);
    Called(context, "brg40_open_device(" + unit.node + ")", status);
    if (handle == nullptr) {
        return kUnknownVersion;
    }
    unsigned char major = 0xFF, minor = 0xFF;
    status = brg40_get_fw_version(handle, &major, &minor);
    Called(context, "brg40_get_fw_version", status);
    brg40_close(handle);
    return status == BRG40_OK ? static_cast<uint16_t>(major << 8 | minor) : kUnknownVersion;
}

// The same unit in normal mode, if it is there now: by its port path or serial where it has them
// (Linux), else by its number (Windows: the converter comes back as the same LPTn), else (an
// update-mode device of Windows) the one converter that was not there before.
bool FindNormalTwin(const std::vector<Unit>& units, const Unit& unit, const std::vector<int>& numbersBefore, Unit& out) {
    std::vector<Unit> found;
    for (const Unit& u : units) {
        const bool known = std::find(numbersBefore.begin(), numbersBefore.end(), u.number) != numbersBefore.end();
        const bool identified = !u.path.empty() || !u.serial.empty();  // the system tells (Linux)
        const bool same = identified ? (!unit.path.empty() && u.path == unit.path) ||
                                           (!unit.serial.empty() && u.serial == unit.serial)
                                     : (unit.update ? !known : u.number == unit.number);
        if (!u.update && same) {
            found.push_back(u);
        }
    }
    if (found.size() != 1) {
        return false;
    }
    out = found[0];
    return true;
}

// The numbers of the converters in normal mode now.
std::vector<int> NormalNumbers(CommandContext& context) {
    std::vector<int> numbers;
    for (const Unit& u : ListUnits(context)) {
        if (!u.update) {
            numbers.push_back(u.number);
        }
    }
    return numbers;
}

// The unit as its update-mode device.
Unit UpdateModeUnit(const UpdateUnit& twin) {
    Unit unit;
    unit.update = true;
    unit.serial = twin.serial;
    unit.path = twin.path;
    unit.updateUnit = twin;
    return unit;
}

// One unit's update: its events, its pipes pinned to its update-mode device, its store.
struct FwSession {
    CommandContext& context;
    ConsoleEvents events;
    std::unique_ptr<UpdatePipe> link;
    ConsolePipe pipe;
    std::unique_ptr<PreservedStore> store;
    FirmupProgramState state;
    Unit unit;     // how the results name the unit
    Unit updated;  // the unit as its update-mode device: how the advice names it
    double start;

    FwSession(CommandContext& c, const ConsoleSettings& settings, const UpdateUnit& twin, const Unit& named)
        : context(c),
          events(
              settings,
              c.out,
              stdin,
              [] { return Interrupted(); },
              Now),
          link(MakeUpdateLink(twin)),
          pipe(
              *link,
              [] { return Interrupted(); },
              c.trace),
          store(MakePreservedStore()),
          state(store.get(), true),  // the program ends after the command: the copy must be on disk
          unit(named),
          updated(UpdateModeUnit(twin)),
          start(Now()) {}

    JsonObject Fields() const { return unit.Identity().Add("seconds", Now() - start).Add("exchanges", pipe.Writes()); }
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

// The unit fw check tells about: the one -d names, the only one present, or none (version
// unknown). False with the result written when -d names none or several, or several are present.
bool CheckedUnit(CommandContext& context, Unit& unit, bool& present, int& code) {
    present = false;
    const std::vector<std::string> selectors = Selectors(context.args);
    const std::vector<Unit> units = ListUnits(context);
    if (selectors.empty() && units.empty()) {
        return true;
    }
    if (!SelectUnit(context, unit, code)) {
        return false;
    }
    present = true;
    return true;
}

int Check(CommandContext& context, const std::string& path) {
    ConsoleEvents events(SettingsOf(context.args), context.out, stdin, nullptr, Now);
    Unit unit;
    bool present = false;
    int code = 0;
    if (!CheckedUnit(context, unit, present, code)) {
        return code;
    }
    const uint16_t device = present ? ReadUnitVersion(context, unit) : kUnknownVersion;
    // The check asks nothing: it tells whether the update would ask.
    CheckedImage image;
    const UpdateStop verdict = JudgeImage(context.args, path, image);
    const bool accepted = verdict == UpdateStop::Completed;
    const bool asks = accepted && ImageVersionNeedsQuestion(image.version, device);
    JsonObject fields = present ? unit.Identity() : JsonObject();
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

// The unit back in normal mode after the close byte: its version, looked for up to the wait.
uint16_t VersionAfter(CommandContext& context, const Unit& unit, const std::vector<int>& numbersBefore) {
    const double limit = Now() + context.args.waitSeconds;
    for (;;) {
        Unit back;
        if (FindNormalTwin(ListUnits(context), unit, numbersBefore, back)) {
            return ReadUnitVersion(context, back);
        }
        if (Now() >= limit || Interrupted()) {
            return kUnknownVersion;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

// Steps 5 to 7: the run, the check, the close byte. The run writes the image judged before the
// switch; a recovery (image null) judges the file itself, with the question, as the dialog does.
// named: the unit in normal mode (to find it again after the close byte and to name it).
int RunAndClose(FwSession& s, const CheckedImage* image, const std::string& path, uint16_t before, const Unit& named) {
    CommandContext& context = s.context;
    const std::string again = "`brg40 -d " + s.updated.Selector() + " fw update FILE`";
    const std::string left = "The converter stays in update mode; run " + again + " again to write it.";
    const double runStart = Now();
    const UpdateStop run = image != nullptr ? WriteImage(*image, s.events, s.pipe, s.state)
                                            : RunProgramming(path.c_str(), before, s.events, s.pipe, s.state);
    s.events.EndBar();
    const double checkStart = Now();
    JsonObject fields = s.Fields().Add("version_before", VersionText(before));
    const std::string interrupted =
        "Interrupted after the last complete exchange. The converter stays in update mode; run " + again +
        " again to finish.";
    if (s.pipe.Stopped()) {
        return context.out.Finish(kExitInterrupted, fields.AddNull("version_after"), interrupted);
    }
    if (run == UpdateStop::Declined) {
        return context.out.Finish(kExitRefused, fields.AddNull("version_after"),
                                  "the version question was answered No");
    }
    if (run == UpdateStop::PreservedNotSaved) {
        return context.out.Finish(kExitFailed, fields.AddNull("version_after"),
                                  "the copy of the converter's preserved block could not be saved (" +
                                      s.store->Where() + "); nothing was erased");
    }
    if (run != UpdateStop::Completed) {
        const StopReport report = ReportOfStop(run);
        return context.out.Finish(report.exitCode, fields.AddNull("version_after"),
                                  MessageLine(*report.message) + " " + left);
    }
    const std::vector<int> numbersBefore = NormalNumbers(context);
    const UpdateStop check = RunClosingCheck(s.events, s.pipe, s.state, CloseByte::Send);
    s.events.EndBar();
    // The run and the check with its close byte, apart from the switch and the waits around them.
    fields = s.Fields()
                 .Add("run_seconds", checkStart - runStart)
                 .Add("check_seconds", Now() - checkStart)
                 .Add("version_before", VersionText(before));
    if (s.pipe.Stopped()) {
        return context.out.Finish(
            kExitInterrupted, fields.AddNull("version_after"),
            check == UpdateStop::CloseNotSent
                ? "Interrupted before the close byte. The converter stays in update mode; run `brg40 -d " +
                      s.updated.Selector() + " fw finish` to check the flash and close the session."
                : interrupted);
    }
    if (check != UpdateStop::Completed) {
        const StopReport report = ReportOfStop(check);
        return context.out.Finish(report.exitCode, fields.AddNull("version_after"),
                                  MessageLine(*report.message) + " " + left);
    }
    const uint16_t after = VersionAfter(context, named, numbersBefore);
    context.out.Print("updated " + VersionText(before) + " -> " + VersionText(after) + ": " + named.Describe());
    return context.out.Finish(kExitOk, fields.Add("version_after", VersionText(after)));
}

// Orders unit into update mode and finds its update-mode device: on the same port path (or with
// the same serial) where the unit has them, else the one device that appeared after the switch.
// False with the result written: nothing appeared (1, or 130 when interrupted), or several did and
// none can be told to be this unit's (2; nothing is erased, every unit stays as it is).
bool SwitchAndFollow(CommandContext& context, const Unit& unit, UpdateUnit& twin, int& code) {
    const std::vector<UpdateUnit> before = ListUpdateUnits();
    int switchStatus = 0;
    {
        int status = 0;
        Brg40Handle handle = brg40_open_device(unit.node.c_str(), &status);
        Called(context, "brg40_open_device(" + unit.node + ")", status);
        if (handle == nullptr) {
            code = CallFailed(context, "brg40_open_device", status);
            return false;
        }
        switchStatus = brg40_change_firmup_mode(handle);
        Called(context, "brg40_change_firmup_mode", switchStatus);
        brg40_close(handle);
    }
    context.out.Event("phase", JsonObject().Add("phase", "switch"));
    context.out.Note("waiting for the update-mode device ...");
    const bool identified = !unit.path.empty() || !unit.serial.empty();
    std::vector<UpdateUnit> appeared;
    const bool found = WaitForUpdateUnits(
        context.args.waitSeconds, [] { return Interrupted(); },
        [&](const std::vector<UpdateUnit>& now) {
            appeared.clear();
            for (const UpdateUnit& u : now) {
                const bool mine = identified ? (!unit.path.empty() ? u.path == unit.path : u.serial == unit.serial)
                                             : std::none_of(before.begin(), before.end(),
                                                            [&u](const UpdateUnit& b) { return b.path == u.path; });
                if (mine) {
                    appeared.push_back(u);
                }
            }
            return !appeared.empty();
        });
    if (!found) {
        if (Interrupted()) {
            code = context.out.Finish(kExitInterrupted, unit.Identity(),
                                      "interrupted while waiting for the update-mode device");
        } else {
            code = context.out.Finish(
                kExitFailed, unit.Identity().Add("status", switchStatus),
                "no update-mode device of the " + unit.Describe() + " appeared within the wait" +
                    (switchStatus != 0 ? " (the switch failed with status " + std::to_string(switchStatus) + ")"
                                       : ""));
        }
        return false;
    }
    if (appeared.size() > 1) {
        std::string list;
        for (const UpdateUnit& u : appeared) {
            list += "\n  " + UpdateModeUnit(u).Describe();
        }
        code = context.out.Finish(kExitUsage, unit.Identity(),
                                  "several update-mode devices appeared after the switch and none can be told to be "
                                  "this converter's; nothing was written. Each stays as it is; update one with -d:" +
                                      list);
        return false;
    }
    twin = appeared[0];
    if (switchStatus != 0 && context.trace) {
        context.trace->Line('=', "the switch reported status " + std::to_string(switchStatus) +
                                     ", but the converter's update-mode device appeared: it switched");
    }
    return true;
}

int Update(CommandContext& context, const std::string& path) {
    const ConsoleSettings settings = SettingsOf(context.args);
    Unit unit;
    int code = 0;
    if (!SelectUnit(context, unit, code)) {
        return code;
    }
    if (unit.update) {
        FwSession s(context, settings, unit.updateUnit, unit);
        context.out.Note("the " + unit.Describe() + " is in update mode: recovering");
        context.out.Event("phase", JsonObject().Add("phase", "recovery"));
        return RunAndClose(s, nullptr, path, kUnknownVersion, unit);  // from step 5
    }
    if (unit.openStatus != 0) {
        return UnitUnavailable(context, unit);
    }
    ConsoleEvents asking(settings, context.out, stdin, [] { return Interrupted(); }, Now);
    const double start = Now();
    const uint16_t before = ReadUnitVersion(context, unit);  // step 1
    // The rules and the question before the converter leaves normal mode: a refused image
    // leaves it as it was.
    CheckedImage image;
    UpdateStop verdict = JudgeImage(context.args, path, image);
    if (verdict == UpdateStop::Completed && ImageVersionNeedsQuestion(image.version, before) &&
        !asking.ConfirmOlderOrEqual(image.version, before)) {
        verdict = UpdateStop::Declined;
    }
    const auto fields = [&] {
        return unit.Identity().Add("seconds", Now() - start).Add("exchanges", 0L).Add("version_before", VersionText(before));
    };
    if (verdict != UpdateStop::Completed) {
        return Refused(context, asking, verdict, fields());
    }
    if (InstallUpdateDriverIfBeside()) {  // step 2
        context.out.Note("update-mode driver installed from brg40fup.inf");
    }
    UpdateUnit twin;
    if (!SwitchAndFollow(context, unit, twin, code)) {  // steps 3 and 4
        return code;
    }
    FwSession s(context, settings, twin, unit);
    s.start = start;
    return RunAndClose(s, &image, path, before, unit);
}

// fw verify and fw finish: the closing check over the chosen unit's update-mode device. verify
// holds the close byte back: the session stays open, and so does the stored copy of its block.
int CheckSession(CommandContext& context, bool close) {
    Unit unit;
    int code = 0;
    if (!SelectUnit(context, unit, code)) {
        return code;
    }
    if (!unit.update) {
        return context.out.Finish(kExitNoConverter, unit.Identity(),
                                  "the " + unit.Describe() + " is not in update mode: no update session to check");
    }
    FwSession s(context, SettingsOf(context.args), unit.updateUnit, unit);
    const std::vector<int> numbersBefore = NormalNumbers(context);
    const UpdateStop check = RunClosingCheck(s.events, s.pipe, s.state, close ? CloseByte::Send : CloseByte::Hold);
    s.events.EndBar();
    const bool matched = check == UpdateStop::Completed && !s.pipe.Stopped();
    JsonObject fields = s.Fields().AddBool("matched", matched).AddBool("closed", close && matched);
    if (s.pipe.Stopped()) {
        return context.out.Finish(kExitInterrupted, fields, "interrupted; the converter stays in update mode");
    }
    if (!matched) {
        const StopReport report = ReportOfStop(check);
        return context.out.Finish(report.exitCode, fields,
                                  MessageLine(*report.message) + " The converter stays in update mode; run `brg40 -d " +
                                      unit.Selector() + " fw update FILE` again to write it.");
    }
    if (!close) {
        context.out.Print("the flash checks out; the session stays open (brg40 fw finish closes it)");
        return context.out.Finish(kExitOk, fields);
    }
    const uint16_t after = VersionAfter(context, unit, numbersBefore);
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
