// Several units at once. A rack is decided on before anything is switched: the image judged, each
// unit's version read, the question asked once; then every unit to write runs on a worker (at most
// --jobs at a time) and reports on its own output, which names it in every line and event. One
// unit's failure is its own: the others go on. A station (--watch) does the same for each unit as
// it appears, until Ctrl+C.
#include "fw_rack.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "console_seam.h"
#include "device_arrivals.h"
#include "exit_codes.h"
#include "fw_unit.h"
#include "rack_view.h"
#include "version_text.h"
#include "workers.h"

namespace {

enum class Plan {
    Write,        // switched (or recovered) and written
    Skip,         // at the image's version already (no --force)
    Ask,          // not older than the image: written only when the question is answered Yes
    Refuse,       // the question was answered No
    Unavailable,  // held elsewhere or denied
};

struct RackUnit {
    Unit unit;
    std::string label;
    uint16_t before = kUnknownVersion;
    Plan plan = Plan::Write;
    size_t row = 0;  // its live line
    int code = 0;
    UnitTrack track;
    JsonObject result;
};

// How a unit is named at the start of its lines: its serial, else its port path, else its node.
std::string LabelOf(const Unit& unit) {
    if (!unit.serial.empty()) {
        return unit.serial;
    }
    if (!unit.path.empty()) {
        return unit.path;
    }
    return unit.node.empty() ? "converter " + std::to_string(unit.number) : unit.node;
}

// The keys that tell a unit again: its serial, port path and node. A unit keeps its serial and
// port path through the switch where the system reports them (Linux); its update-mode device's
// keys are added once it is followed.
std::set<std::string> KeysOf(const Unit& unit) {
    std::set<std::string> keys;
    if (!unit.serial.empty()) {
        keys.insert("serial:" + unit.serial);
    }
    if (!unit.path.empty()) {
        keys.insert("path:" + unit.path);
    }
    if (!unit.node.empty()) {
        keys.insert("node:" + unit.node);
    }
    return keys;
}

bool Meets(const std::set<std::string>& a, const std::set<std::string>& b) {
    return std::any_of(a.begin(), a.end(), [&b](const std::string& key) { return b.count(key) != 0; });
}

// What is to be done with a unit, from its version (units in update mode are written: they have no
// firmware running to compare with, and need the image to run at all).
Plan PlanFor(const Arguments& args, const RackUnit& u, uint16_t imageVersion) {
    if (u.unit.update) {
        return Plan::Write;
    }
    if (u.unit.openStatus != 0) {
        return Plan::Unavailable;
    }
    if (u.before == imageVersion && !args.force) {
        return Plan::Skip;
    }
    return ImageVersionNeedsQuestion(imageVersion, u.before) ? Plan::Ask : Plan::Write;
}

// The way a unit ended, in a word or a few: for its live line and the summary.
std::string OutcomeOf(const RackUnit& u) {
    if (u.code == kExitOk) {
        return u.plan == Plan::Skip ? "skipped: already " + VersionText(u.before)
                                    : "updated " + VersionText(u.before) + " -> " + VersionText(u.track.after);
    }
    std::string where = "left as it was";
    if (u.track.left == UnitLeft::UpdateMode) {
        Unit twin;
        twin.update = true;
        twin.serial = u.track.twin.serial;
        twin.path = u.track.twin.path;
        where = "left in update mode; `brg40 -d " + twin.Selector() + " fw update FILE` finishes it";
    } else if (u.track.left == UnitLeft::Normal) {
        where = "back in normal mode";
    }
    return (u.code == InterruptExitCode() ? "interrupted (exit " : "failed (exit ") + std::to_string(u.code) +
           "): " + where;
}

// What the units share while they run: the command, the image, the live view.
class Rack {
public:
    Rack(CommandContext& context, const std::string& path, const CheckedImage& image)
        : m_context(context), m_path(path), m_image(image), m_settings(SettingsOf(context.args)) {
        if (m_settings.terminalBar && StderrTakesCursorMoves()) {
            m_view.reset(new RackView(stderr, Now));
        }
    }

    const CheckedImage& Image() const { return m_image; }
    CommandContext& Context() { return m_context; }

    // The unit's live line (on a terminal), saying it waits.
    void Show(RackUnit& u) {
        if (m_view) {
            u.row = m_view->AddRow(u.label, "waiting");
        }
    }

    // One unit, on its worker: its version (when not read yet), what to do, and doing it.
    void Run(RackUnit& u, bool readVersion) {
        RackView* view = m_view.get();
        ConsoleOutput out = m_context.out.ForUnit(
            u.unit.Identity(), u.label,
            view != nullptr
                ? std::function<void(const std::string&)>([view](const std::string& line) { view->Print(line); })
                : nullptr);
        CommandContext context{m_context.args, out, m_context.trace};
        ConsoleSettings settings = m_settings;
        settings.canAsk = false;  // the question was asked for all units at once, or not at all
        settings.terminalBar = view != nullptr;
        const size_t row = u.row;
        if (view != nullptr) {
            settings.bar = [view, row](const char* phase, int percent, double rate) {
                view->SetProgress(row, phase, percent, rate);
            };
        }
        const double start = Now();
        if (readVersion) {
            u.before = ReadUnitVersion(context, u.unit);
            u.plan = PlanFor(m_context.args, u, m_image.version);
            if (u.plan == Plan::Ask) {
                u.plan = m_context.args.yes ? Plan::Write : Plan::Refuse;  // nobody is asked in a station
            }
        }
        const JsonObject versions = JsonObject().Add("version_before", VersionText(u.before));
        switch (u.plan) {
            case Plan::Skip:
                out.Print("already " + VersionText(u.before) + ": skipped");
                u.code = out.Finish(kExitOk, JsonObject(versions)
                                                 .Add("version_after", VersionText(u.before))
                                                 .AddBool("skipped", true)
                                                 .Add("seconds", 0.0));
                break;
            case Plan::Ask:
            case Plan::Refuse:
                u.code = out.Finish(kExitRefused, JsonObject(versions).AddNull("version_after").Add("seconds", 0.0),
                                    "the image is not newer than " + VersionText(u.before) +
                                        ": not written (the version question was answered No, or --yes was not given)");
                break;
            case Plan::Unavailable:
                u.code = UnitUnavailable(context, u.unit);
                break;
            case Plan::Write:
                if (Interrupted()) {
                    u.code = out.Finish(InterruptExitCode(), JsonObject(versions).AddNull("version_after"),
                                        "interrupted before its update began; it stays as it was");
                } else {
                    u.code = UpdateOneUnit(context, settings, u.unit, &m_image, m_path, u.before, start, u.track);
                }
                break;
        }
        u.result = out.Result();
        if (view != nullptr) {
            view->SetRow(u.row, OutcomeOf(u), true);
        }
    }

    // The last word of the command: each unit's outcome, the counts, the exit code (0, or the code
    // of the first unit in list order that failed; stationCode: 0 or 1 by whether any failed).
    int Summary(const std::vector<const RackUnit*>& units, bool stationCode) {
        m_view.reset();  // the live lines stay as they were drawn last
        int done = 0, skipped = 0, failed = 0, code = kExitOk;
        std::string list = "[";
        size_t width = 0;
        for (const RackUnit* u : units) {
            width = std::max(width, u->label.size());
        }
        for (const RackUnit* u : units) {
            if (u->code != kExitOk) {
                ++failed;
                code = code != kExitOk ? code : stationCode ? kExitFailed : u->code;
            } else if (u->plan == Plan::Skip) {
                ++skipped;
            } else {
                ++done;
            }
            // Where the unit is now, as far as its update knows.
            const char* mode = u->track.left == UnitLeft::UpdateMode ? "update" : "normal";
            list += (list.size() > 1 ? "," : "") + JsonObject(u->result).Add("mode", mode).Text();
            m_context.out.Print(u->label + std::string(width - u->label.size() + 2, ' ') + OutcomeOf(*u));
        }
        const std::string counts = std::to_string(done) + " updated, " + std::to_string(skipped) + " skipped, " +
                                   std::to_string(failed) + " failed";
        m_context.out.Print(counts);
        return m_context.out.Finish(
            code,
            JsonObject().Add("done", done).Add("skipped", skipped).Add("failed", failed).AddRaw("units", list + "]"),
            failed > 0 ? counts : "");
    }

    RackView* View() { return m_view.get(); }

private:
    CommandContext& m_context;
    const std::string m_path;
    const CheckedImage& m_image;
    ConsoleSettings m_settings;
    std::unique_ptr<RackView> m_view;
};

// The units the command names, in list order: every unit with --all, else each -d's.
bool ChosenUnits(CommandContext& context, std::vector<Unit>& chosen, int& code) {
    const std::vector<Unit> present = ListUnits(context);
    std::vector<bool> taken(present.size(), false);
    if (context.args.all) {
        taken.assign(present.size(), true);
    }
    for (const std::string& selector : context.args.devices) {
        Unit unit;
        if (!Choose(context, present, selector, unit, code)) {
            return false;
        }
        for (size_t i = 0; i < present.size(); ++i) {
            taken[i] = taken[i] || KeysOf(present[i]) == KeysOf(unit);
        }
    }
    for (size_t i = 0; i < present.size(); ++i) {
        if (taken[i]) {
            chosen.push_back(present[i]);
        }
    }
    if (chosen.empty()) {
        code = context.out.Finish(kExitNoConverter, JsonObject().AddRaw("units", "[]"), "no converter found");
        return false;
    }
    return true;
}

std::string Identities(const std::vector<Unit>& units) {
    std::string list = "[";
    for (const Unit& unit : units) {
        list += (list.size() > 1 ? "," : "") + unit.Identity().Text();
    }
    return list + "]";
}

}  // namespace

bool IsRackUpdate(const Arguments& args) {
    return args.all || args.watch || args.devices.size() > 1;
}

int UpdateRack(CommandContext& context, const std::string& path) {
    if (context.args.all && !context.args.devices.empty()) {
        return UsageError(context, "--all updates every unit present; give it without -d");
    }
    std::vector<Unit> chosen;
    int code = 0;
    if (!ChosenUnits(context, chosen, code)) {
        return code;
    }
    // The image and the question before any unit leaves normal mode: a refused image touches none.
    ConsoleEvents asking(
        SettingsOf(context.args), context.out, stdin, [] { return Interrupted(); }, Now);
    CheckedImage image;
    const UpdateStop verdict = JudgeImage(context.args, path, image);
    if (verdict != UpdateStop::Completed) {
        return Refused(context, asking, verdict, JsonObject().AddRaw("units", Identities(chosen)));
    }
    std::vector<RackUnit> units(chosen.size());
    bool ask = false, write = false;
    uint16_t newest = 0;
    for (size_t i = 0; i < chosen.size(); ++i) {
        RackUnit& u = units[i];
        u.unit = chosen[i];
        u.label = LabelOf(u.unit);
        if (!u.unit.update && u.unit.openStatus == 0) {
            u.before = ReadUnitVersion(context, u.unit);
        }
        u.plan = PlanFor(context.args, u, image.version);
        if (u.plan == Plan::Ask) {
            ask = true;
            newest = std::max(newest, u.before);
        }
    }
    const bool yes = ask && asking.ConfirmOlderOrEqual(image.version, newest);
    for (RackUnit& u : units) {
        if (u.plan == Plan::Ask) {
            u.plan = yes ? Plan::Write : Plan::Refuse;
        }
        write = write || u.plan == Plan::Write;
    }
    if (write && !InstallDriverBeside(context, JsonObject().AddRaw("units", Identities(chosen)), code)) {
        return code;
    }
    Rack rack(context, path, image);
    std::vector<const RackUnit*> order;
    for (RackUnit& u : units) {
        rack.Show(u);
        order.push_back(&u);
    }
    RunJobs(units.size(), context.args.jobs, [&](size_t i) { rack.Run(units[i], false); });
    return rack.Summary(order, false);
}

int WatchStation(CommandContext& context, const std::string& path) {
    if (context.args.all || !context.args.devices.empty()) {
        return UsageError(context, "--watch takes each unit that appears; give it without --all or -d");
    }
    ConsoleEvents events(SettingsOf(context.args), context.out, stdin, nullptr, Now);
    CheckedImage image;
    const UpdateStop verdict = JudgeImage(context.args, path, image);
    if (verdict != UpdateStop::Completed) {
        return Refused(context, events, verdict, JsonObject());
    }
    Rack rack(context, path, image);
    struct Station {
        std::unique_ptr<RackUnit> unit;
        std::unique_ptr<Worker> worker;
        std::set<std::string> keys;  // while it runs: the unit's; once ended: those it may be seen by
    };
    std::vector<Station> running, ended;
    std::vector<std::set<std::string>> handled;  // units ended and still plugged in
    // A converter just plugged in may not open at once: its node may not be made yet, or udev may
    // not yet have given the user access to it. Such a unit is looked at again for a while (from
    // when it was first seen) before its worker starts and reports it busy or denied.
    constexpr double kSettleSeconds = 3.0;
    std::map<std::set<std::string>, double> settling;
    DeviceArrivals arrivals;
    const double look = arrivals.Events() ? 5.0 : 1.0;  // with events, a listing now and then as well
    const auto note = [&](const std::string& line) {
        if (rack.View() != nullptr) {
            rack.View()->Print(line);
        } else {
            context.out.Note(line);
        }
    };
    note("waiting for converters (image " + VersionText(image.version) + "); Ctrl+C ends");
    int done = 0, skipped = 0, failed = 0;
    for (;;) {
        const bool stopping = Interrupted();
        // Ended units: counted, and remembered by every key they were seen by.
        for (auto it = running.begin(); it != running.end();) {
            if (!it->worker->Done() && !stopping) {
                ++it;
                continue;
            }
            it->worker.reset();  // waits for it
            RackUnit& u = *it->unit;
            std::set<std::string> keys = it->keys;
            if (u.track.followed) {
                Unit twin;
                twin.serial = u.track.twin.serial;
                twin.path = u.track.twin.path;
                const std::set<std::string> more = KeysOf(twin);
                keys.insert(more.begin(), more.end());
            }
            if (u.track.back) {
                const std::set<std::string> more = KeysOf(u.track.normal);
                keys.insert(more.begin(), more.end());
            }
            handled.push_back(keys);
            (u.code != kExitOk ? failed : u.plan == Plan::Skip ? skipped : done) += 1;
            note("done " + std::to_string(done) + ", skipped " + std::to_string(skipped) + ", failed " +
                 std::to_string(failed));
            context.out.Event("counts", JsonObject().Add("done", done).Add("skipped", skipped).Add("failed", failed));
            ended.push_back(std::move(*it));
            it = running.erase(it);
        }
        if (stopping) {
            break;
        }
        const std::vector<Unit> present = ListUnitsInTurn(context);
        std::set<std::string> presentKeys;
        for (const Unit& unit : present) {
            const std::set<std::string> keys = KeysOf(unit);
            presentKeys.insert(keys.begin(), keys.end());
        }
        // A unit unplugged is forgotten: plugged in again, it is a new arrival.
        handled.erase(std::remove_if(handled.begin(), handled.end(),
                                     [&](const std::set<std::string>& keys) { return !Meets(keys, presentKeys); }),
                      handled.end());
        for (auto it = settling.begin(); it != settling.end();) {
            it = Meets(it->first, presentKeys) ? std::next(it) : settling.erase(it);
        }
        // A recovery of a unit without identity finds it back as a converter that was not there
        // before: no such converter is taken for a new one meanwhile.
        const bool recovering = std::any_of(running.begin(), running.end(), [](const Station& s) {
            return s.unit->unit.update && s.unit->unit.serial.empty() && s.unit->unit.path.empty();
        });
        for (const Unit& unit : present) {
            const std::set<std::string> keys = KeysOf(unit);
            const bool known =
                std::any_of(handled.begin(), handled.end(),
                            [&](const std::set<std::string>& h) { return Meets(h, keys); }) ||
                std::any_of(running.begin(), running.end(), [&](const Station& s) { return Meets(s.keys, keys); }) ||
                (unit.update && TwinInUse(unit.path)) ||
                (recovering && !unit.update && unit.serial.empty() && unit.path.empty());
            if (known || (context.args.jobs != 0 && running.size() >= context.args.jobs)) {
                continue;
            }
            if (!unit.update && unit.openStatus != 0) {
                const double since = settling.emplace(keys, Now()).first->second;
                if (Now() - since < kSettleSeconds) {
                    continue;
                }
            }
            settling.erase(keys);
            Station station;
            station.unit.reset(new RackUnit);
            station.unit->unit = unit;
            station.unit->label = LabelOf(unit);
            station.keys = keys;
            rack.Show(*station.unit);
            RackUnit* u = station.unit.get();
            station.worker.reset(new Worker([&rack, u] { rack.Run(*u, true); }));
            running.push_back(std::move(station));
        }
        arrivals.Wait(settling.empty() ? look : 0.2, [&] {
            return Interrupted() ||
                   std::any_of(running.begin(), running.end(), [](const Station& s) { return s.worker->Done(); });
        });
    }
    std::vector<const RackUnit*> order;
    for (const Station& s : ended) {
        order.push_back(s.unit.get());
    }
    return rack.Summary(order, true);
}
