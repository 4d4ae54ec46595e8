// One unit's update: switch, follow, run, check, close, and the unit found back in normal mode.
// Several of these run at once on worker threads: the library's list and open calls take turns
// (a listing must not find a unit busy because another worker has it open for a moment), and so
// does following a unit that the system gives no identity (Windows in normal mode), which can only
// be told by being the one update-mode device that appeared.
#include "fw_unit.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>

#include "closing_check.h"
#include "console_seam.h"
#include "console_texts.h"
#include "exit_codes.h"
#include "file_open.h"
#include "programming_run.h"
#include "version_text.h"
#include "workers.h"

namespace {

Mutex& LibraryLock() {
    static Mutex lock;
    return lock;
}

Mutex& FollowLock() {
    static Mutex lock;
    return lock;
}

Mutex& ClaimLock() {
    static Mutex lock;
    return lock;
}

std::set<std::string>& Claimed() {
    static std::set<std::string> paths;
    return paths;
}

// Holds an update-mode device for one unit's update, from when it is found until the unit's
// update ends.
class TwinClaim {
public:
    TwinClaim() = default;
    TwinClaim(const TwinClaim&) = delete;
    TwinClaim& operator=(const TwinClaim&) = delete;
    ~TwinClaim() {
        if (!m_path.empty()) {
            std::lock_guard<Mutex> hold(ClaimLock());
            Claimed().erase(m_path);
        }
    }
    void Take(const std::string& path) {
        std::lock_guard<Mutex> hold(ClaimLock());
        Claimed().insert(path);
        m_path = path;
    }

private:
    std::string m_path;
};

// The same unit in normal mode, if it is there now: by its port path or serial where it has them
// (Linux), else by its number (Windows: the converter comes back as the same LPTn), else (an
// update-mode device of Windows) the one converter that was not there before.
bool FindNormalTwin(const std::vector<Unit>& units,
                    const Unit& unit,
                    const std::vector<int>& numbersBefore,
                    Unit& out) {
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

// The unit as its update-mode device.
Unit UpdateModeUnit(const UpdateUnit& twin) {
    Unit unit;
    unit.update = true;
    unit.serial = twin.serial;
    unit.path = twin.path;
    unit.updateUnit = twin;
    return unit;
}

// Steps 5 to 7: the run, the check, the close byte. The run writes the image judged before the
// switch; a recovery without one judges the file itself, with the question, as the dialog does.
// named: the unit in normal mode (to find it again after the close byte and to name it).
int RunAndClose(FwSession& s,
                const CheckedImage* image,
                const std::string& path,
                uint16_t before,
                const Unit& named,
                UnitTrack& track) {
    CommandContext& context = s.context;
    const std::string again = "`brg40 -d " + s.updated.Selector() + " fw update FILE`";
    const std::string left = "The converter stays in update mode; run " + again + " again to write it.";
    const double runStart = Now();
    const UpdateStop run = image != nullptr ? WriteImage(*image, s.events, s.pipe, s.state)
                                            : RunProgramming(path.c_str(), before, s.events, s.pipe, s.state, OpenFile);
    s.events.EndBar();
    const double checkStart = Now();
    JsonObject fields = s.Fields().Add("version_before", VersionText(before));
    const std::string interrupted =
        "Interrupted after the last complete exchange. The converter stays in update mode; run " + again +
        " again to finish.";
    if (s.pipe.Stopped()) {
        return context.out.Finish(InterruptExitCode(), fields.AddNull("version_after"), interrupted);
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
            InterruptExitCode(), fields.AddNull("version_after"),
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
    track.left = UnitLeft::Normal;
    track.after = VersionAfter(context, named, numbersBefore, &track.normal);
    track.back = track.after != kUnknownVersion;
    context.out.Print("updated " + VersionText(before) + " -> " + VersionText(track.after) + ": " + named.Describe());
    return context.out.Finish(kExitOk, fields.Add("version_after", VersionText(track.after)));
}

// Orders unit into update mode and finds its update-mode device: on the same port path (or with
// the same serial) where the unit has them, else the one device that appeared after the switch.
// False with the result written: nothing appeared (1, or 130 when interrupted), or several did and
// none can be told to be this unit's (2; nothing is erased, every unit stays as it is).
bool SwitchAndFollow(CommandContext& context, const Unit& unit, TwinClaim& claim, UpdateUnit& twin, int& code) {
    const bool identified = !unit.path.empty() || !unit.serial.empty();
    // A unit without identity is told by being the one device that appeared: one such unit
    // switches and is followed at a time.
    std::unique_lock<Mutex> following(FollowLock(), std::defer_lock);
    if (!identified) {
        following.lock();
    }
    const std::vector<UpdateUnit> before = ListUpdateUnits();
    int switchStatus = 0;
    {
        std::lock_guard<Mutex> hold(LibraryLock());
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
    std::vector<UpdateUnit> appeared;
    const bool found = WaitForUpdateUnits(
        context.args.waitSeconds, [] { return Interrupted(); },
        [&](const std::vector<UpdateUnit>& now) {
            appeared.clear();
            for (const UpdateUnit& u : now) {
                const bool mine = identified ? (!unit.path.empty() ? u.path == unit.path : u.serial == unit.serial)
                                             : std::none_of(before.begin(), before.end(),
                                                            [&u](const UpdateUnit& b) { return b.path == u.path; });
                if (mine && !TwinInUse(u.path)) {
                    appeared.push_back(u);
                }
            }
            return !appeared.empty();
        });
    if (!found) {
        if (Interrupted()) {
            code = context.out.Finish(InterruptExitCode(), unit.Identity(),
                                      "interrupted while waiting for the update-mode device");
        } else {
            code = context.out.Finish(
                kExitFailed, unit.Identity().Add("status", switchStatus),
                "no update-mode device of the " + unit.Describe() + " appeared within the wait" +
                    (switchStatus != 0 ? " (the switch failed with status " + std::to_string(switchStatus) + ")" : ""));
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
    claim.Take(twin.path);
    if (switchStatus != 0 && context.trace) {
        context.trace->Line('=', "the switch reported status " + std::to_string(switchStatus) +
                                     ", but the converter's update-mode device appeared: it switched");
    }
    return true;
}

}  // namespace

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
        path.c_str(), [&args] { return args.allowModelChange; }, image, OpenFile);
}

bool InstallDriverBeside(CommandContext& context, const JsonObject& fields, int& code) {
    switch (InstallUpdateDriverIfBeside()) {
        case DriverInstall::NotBeside:
            return true;
        case DriverInstall::Attempted:
            context.out.Note("update-mode driver installed from brg40fup.inf");
            return true;
        case DriverInstall::Denied:
            break;
    }
    code = context.out.Finish(kExitDenied, fields,
                              std::string("the update-mode driver could not be installed (no permission): ") +
                                  DeniedAdvice() + "; nothing was switched");
    return false;
}

uint16_t ReadUnitVersion(CommandContext& context, const Unit& unit) {
    if (unit.update) {
        return kUnknownVersion;
    }
    std::lock_guard<Mutex> hold(LibraryLock());
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

FwSession::FwSession(CommandContext& c, const ConsoleSettings& settings, const UpdateUnit& twin, const Unit& named)
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

JsonObject FwSession::Fields() const {
    return unit.Identity().Add("seconds", Now() - start).Add("exchanges", pipe.Writes());
}

std::vector<Unit> ListUnitsInTurn(CommandContext& context) {
    std::lock_guard<Mutex> hold(LibraryLock());
    return ListUnits(context);
}

std::vector<int> NormalNumbers(CommandContext& context) {
    std::vector<int> numbers;
    for (const Unit& u : ListUnitsInTurn(context)) {
        if (!u.update) {
            numbers.push_back(u.number);
        }
    }
    return numbers;
}

uint16_t VersionAfter(CommandContext& context, const Unit& unit, const std::vector<int>& numbersBefore, Unit* back) {
    const double limit = Now() + context.args.waitSeconds;
    for (;;) {
        Unit found;
        if (FindNormalTwin(ListUnitsInTurn(context), unit, numbersBefore, found)) {
            if (back != nullptr) {
                *back = found;
            }
            return ReadUnitVersion(context, found);
        }
        if (Now() >= limit || Interrupted()) {
            return kUnknownVersion;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

int UpdateOneUnit(CommandContext& context,
                  const ConsoleSettings& settings,
                  const Unit& unit,
                  const CheckedImage* image,
                  const std::string& path,
                  uint16_t before,
                  double start,
                  UnitTrack& track) {
    SetInterruptWarning(
        "a converter being updated may be left in update mode; `brg40 list` shows it, and `brg40 -d UNIT fw "
        "update FILE` finishes its update");
    TwinClaim claim;
    UpdateUnit twin = unit.updateUnit;
    if (unit.update) {
        claim.Take(twin.path);
        context.out.Note("the " + unit.Describe() + " is in update mode: recovering");
        context.out.Event("phase", JsonObject().Add("phase", "recovery"));
    } else {
        int code = 0;
        if (!SwitchAndFollow(context, unit, claim, twin, code)) {  // steps 3 and 4
            return code;
        }
    }
    track.left = UnitLeft::UpdateMode;
    track.followed = true;
    track.twin = twin;
    FwSession s(context, settings, twin, unit);
    s.start = start;
    return RunAndClose(s, image, path, unit.update ? kUnknownVersion : before, unit, track);  // from step 5
}

bool TwinInUse(const std::string& path) {
    std::lock_guard<Mutex> hold(ClaimLock());
    return Claimed().count(path) != 0;
}
