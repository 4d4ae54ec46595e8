// Every converter present, in either mode, as brg40 names and chooses them: normal-mode units from
// the library (number, node, serial, port path, whether they can be opened), update-mode units
// from the update engine's side (path, serial), and the unit a command works on.
#ifndef BRG40_CLI_UNITS_H
#define BRG40_CLI_UNITS_H

#include <string>
#include <vector>

#include "command_context.h"
#include "update_link.h"

struct Unit {
    bool update = false;  // in update mode (then no number and no node)
    int number = 0;       // normal mode: 1 to 9
    std::string node;     // normal mode: what brg40_open_device takes ("/dev/sg2", "LPT3")
    std::string serial;   // "" when unknown
    std::string path;     // Linux: USB port path; Windows: the update-mode device's interface path
    int openStatus = 0;   // normal mode: 0 free, else the open's error (32 busy, 5 denied)
    UpdateUnit updateUnit;

    // "converter 3", "converter 1 (serial A1, path 1-3)", "update-mode device (serial A1, path 1-3)"
    std::string Describe() const;
    // The selector that names this unit again: serial:S where it has a serial, else path:P, else
    // its number.
    std::string Selector() const;
    // "free", "busy" or "denied"; "" in update mode.
    std::string State() const;
    // The JSON fields that name it: "serial" (string or null) and "path" (and "number" in normal mode).
    JsonObject Identity() const;
};

// The units present now: normal mode in number order, then update mode.
std::vector<Unit> ListUnits(CommandContext& context);

// The selectors of the command: its -d options, else BRG40_DEVICE, else none.
std::vector<std::string> Selectors(const Arguments& args);

// The unit one selector names among units. False with the result written (code: 3 when none
// matches, 2 when several do).
bool Choose(CommandContext& context, const std::vector<Unit>& units, const std::string& selector, Unit& out, int& code);

// A unit that cannot be opened now (held elsewhere, or no permission): the result, exit 1, with
// what to do.
int UnitUnavailable(CommandContext& context, const Unit& unit);

// The unit the command works on: the one its selector names, or the only unit present. False with
// the result written: 3 when there is none (or none matches), 2 when several are present and none
// was chosen (they are listed), or a selector names several.
bool SelectUnit(CommandContext& context, Unit& out, int& code);

#endif
