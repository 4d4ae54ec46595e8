// Listing the units of both modes, and choosing the one a command works on.
#include "units.h"

#include <cstdlib>

#include "console_seam.h"
#include "exit_codes.h"
#include "unit_selector.h"

namespace {

brg40::UnitName NameOf(const Unit& unit) {
    return brg40::UnitName{unit.number, unit.node, unit.serial, unit.path};
}

// The units as lines for a person: "  -d serial:A1   converter 1 (serial A1, path 1-3)".
std::string UnitLines(const std::vector<Unit>& units) {
    std::string lines;
    for (const Unit& unit : units) {
        lines += "\n  -d " + unit.Selector() + "   " + unit.Describe();
    }
    return lines;
}

std::string UnitsJson(const std::vector<Unit>& units) {
    std::string json = "[";
    for (const Unit& unit : units) {
        json += (json.size() > 1 ? "," : "") +
                unit.Identity().Add("mode", unit.update ? "update" : "normal").Add("selector", unit.Selector()).Text();
    }
    return json + "]";
}

}  // namespace

std::string Unit::Describe() const {
    std::string what = update ? "update-mode device" : "converter " + std::to_string(number);
    std::string details;
    if (!serial.empty()) {
        details = "serial " + serial;
    }
    if (!path.empty()) {
        details += (details.empty() ? "" : ", ") + std::string("path ") + path;
    }
    return details.empty() ? what : what + " (" + details + ")";
}

std::string Unit::Selector() const {
    if (!serial.empty()) {
        return "serial:" + serial;
    }
    return path.empty() ? std::to_string(number) : "path:" + path;
}

std::string Unit::State() const {
    if (update) {
        return "";
    }
    return openStatus == 0 ? "free" : openStatus == BRG40_ERROR_ACCESS_DENIED ? "denied" : "busy";
}

JsonObject Unit::Identity() const {
    JsonObject fields;
    if (update) {
        fields.AddNull("number");
    } else {
        fields.Add("number", number);
    }
    if (serial.empty()) {
        fields.AddNull("serial");
    } else {
        fields.Add("serial", serial);
    }
    return fields.Add("path", path);
}

std::vector<Unit> ListUnits(CommandContext& context) {
    std::vector<Unit> units;
    Brg40DeviceInfo info[9] = {};
    int count = 0;
    const int status = brg40_list_devices(info, 9, &count);
    Called(context, "brg40_list_devices -> count " + std::to_string(count), status);
    for (int i = 0; status == BRG40_OK && i < count && i < 9; ++i) {
        Unit unit;
        unit.number = info[i].number;
        unit.node = info[i].node;
        unit.serial = info[i].serial;
        unit.path = info[i].path;
        unit.openStatus = info[i].open_status;
        units.push_back(unit);
    }
    for (const UpdateUnit& found : ListUpdateUnits()) {
        Unit unit;
        unit.update = true;
        unit.serial = found.serial;
        unit.path = found.path;
        unit.updateUnit = found;
        units.push_back(unit);
    }
    return units;
}

std::vector<std::string> Selectors(const Arguments& args) {
    if (!args.devices.empty()) {
        return args.devices;
    }
    const char* preset = std::getenv("BRG40_DEVICE");
    if (preset != nullptr && *preset != '\0') {
        return {preset};
    }
    return {};
}

bool Choose(CommandContext& context,
            const std::vector<Unit>& units,
            const std::string& selector,
            Unit& out,
            int& code) {
    brg40::UnitSelector wanted;
    if (!brg40::parse_unit_selector(selector, wanted)) {
        code = UsageError(context, "-d takes a number from 1 to 9, serial:S, path:P or a device node: " + selector);
        return false;
    }
    if (wanted.kind == brg40::UnitSelector::Node) {
        wanted.value = ResolveNodePath(wanted.value);
    }
    std::vector<Unit> matches;
    for (const Unit& unit : units) {
        if (brg40::selector_names(wanted, NameOf(unit))) {
            matches.push_back(unit);
        }
    }
    if (matches.size() == 1) {
        out = matches[0];
        return true;
    }
    if (matches.empty()) {
        code = context.out.Finish(
            kExitNoConverter, JsonObject().AddRaw("units", UnitsJson(units)),
            "no converter matches -d " + selector + (units.empty() ? "" : "; present:" + UnitLines(units)));
    } else {
        code = context.out.Finish(kExitUsage, JsonObject().AddRaw("units", UnitsJson(matches)),
                                  "-d " + selector + " names more than one converter:" + UnitLines(matches));
    }
    return false;
}

bool SelectUnit(CommandContext& context, Unit& out, int& code) {
    const std::vector<std::string> selectors = Selectors(context.args);
    if (selectors.size() > 1) {
        code = UsageError(context, "this command works on one converter: give -d once");
        return false;
    }
    const std::vector<Unit> units = ListUnits(context);
    if (!selectors.empty()) {
        return Choose(context, units, selectors[0], out, code);
    }
    if (units.size() == 1) {
        out = units[0];
        return true;
    }
    if (units.empty()) {
        code = context.out.Finish(kExitNoConverter, JsonObject().AddRaw("units", "[]"), "no converter found");
    } else {
        code = context.out.Finish(kExitUsage, JsonObject().AddRaw("units", UnitsJson(units)),
                                  "several converters are present; choose one with -d:" + UnitLines(units));
    }
    return false;
}

int UnitUnavailable(CommandContext& context, const Unit& unit) {
    const JsonObject fields = unit.Identity().Add("status", unit.openStatus).Add("state", unit.State());
    if (unit.openStatus == BRG40_ERROR_ACCESS_DENIED) {
        return context.out.Finish(kExitDenied, fields,
                                  "no permission to open the " + unit.Describe() + ": " + DeniedAdvice());
    }
    return context.out.Finish(kExitFailed, fields,
                              "the " + unit.Describe() + " is held by another program; close it there first");
}

bool OpenConverter(CommandContext& context, Converter& converter, int& code) {
    Unit unit;
    if (!SelectUnit(context, unit, code)) {
        return false;
    }
    if (unit.update) {
        code = context.out.Finish(kExitFailed, unit.Identity(),
                                  "the " + unit.Describe() + " is in update mode; `brg40 -d " + unit.Selector() +
                                      " fw update FILE` finishes its update");
        return false;
    }
    if (unit.openStatus != 0) {
        code = UnitUnavailable(context, unit);
        return false;
    }
    int status = 0;
    converter.handle = brg40_open_device(unit.node.c_str(), &status);
    Called(context, "brg40_open_device(" + unit.node + ")", status);
    if (converter.handle == nullptr) {
        code = context.out.Finish(
            kExitFailed, unit.Identity().Add("status", status),
            "the " + unit.Describe() + " could not be opened (status " + std::to_string(status) + ")");
        return false;
    }
    converter.number = unit.number;
    converter.name = unit.Describe();
    converter.identity = unit.Identity();
    return true;
}
