// brg40 fw check | update | verify | finish: the update engine's image rules, programming run and
// closing check, shown on the console and driven over pipes kept open.
#include <vector>

#include "closing_check.h"
#include "console_seam.h"
#include "console_texts.h"
#include "exit_codes.h"
#include "fw_rack.h"
#include "fw_unit.h"
#include "version_text.h"

namespace {

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

int Update(CommandContext& context, const std::string& path) {
    const ConsoleSettings settings = SettingsOf(context.args);
    Unit unit;
    int code = 0;
    if (!SelectUnit(context, unit, code)) {
        return code;
    }
    UnitTrack track;
    if (unit.update) {
        return UpdateOneUnit(context, settings, unit, nullptr, path, kUnknownVersion, Now(), track);
    }
    if (unit.openStatus != 0) {
        return UnitUnavailable(context, unit);
    }
    ConsoleEvents asking(
        settings, context.out, stdin, [] { return Interrupted(); }, Now);
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
        return unit.Identity()
            .Add("seconds", Now() - start)
            .Add("exchanges", 0L)
            .Add("version_before", VersionText(before));
    };
    if (verdict != UpdateStop::Completed) {
        return Refused(context, asking, verdict, fields());
    }
    if (!InstallDriverBeside(context, fields(), code)) {  // step 2
        return code;
    }
    return UpdateOneUnit(context, settings, unit, &image, path, before, start, track);
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
        return context.out.Finish(InterruptExitCode(), fields, "interrupted; the converter stays in update mode");
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
    const uint16_t after = VersionAfter(context, unit, numbersBefore, nullptr);
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
    if ((context.args.all || context.args.watch || context.args.force || context.args.jobs != 0) && verb != "update") {
        return UsageError(context, "--all, --watch, --force and --jobs belong to fw update");
    }
    WatchInterrupt();
    if (verb == "update" && context.args.watch) {
        return WatchStation(context, w[2]);
    }
    if (verb == "update" && IsRackUpdate(context.args)) {
        return UpdateRack(context, w[2]);
    }
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
