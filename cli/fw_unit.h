// One unit's firmware update as brg40 drives it, whether alone (fw update) or beside others
// (--all, several -d, --watch): the switch into update mode and following the unit through it,
// the run over its own pipes with its own stored block copy, the closing check, and the unit back
// in normal mode.
#ifndef BRG40_CLI_FW_UNIT_H
#define BRG40_CLI_FW_UNIT_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "command_context.h"
#include "console_events.h"
#include "console_pipe.h"
#include "firmup_state.h"
#include "firmware_image.h"
#include "units.h"
#include "update_link.h"

constexpr uint16_t kUnknownVersion = 0xFFFF;

// How the command's options set the console's part in an update.
ConsoleSettings SettingsOf(const Arguments& args);

// The image's rules (--allow-model-change answers the model question), run on the file before
// any unit leaves normal mode.
UpdateStop JudgeImage(const Arguments& args, const std::string& path, CheckedImage& image);

// The result of an image refused, or of the question answered No, before anything reached a
// device: the tool's message and its exit code.
int Refused(CommandContext& context, ConsoleEvents& events, UpdateStop reason, const JsonObject& fields);

// Step 2: the update-mode driver from the .inf beside the program, before any unit is switched.
// False with the result written (exit 6) when Windows refused it for want of administrator rights.
bool InstallDriverBeside(CommandContext& context, const JsonObject& fields, int& code);

// The version of a unit in normal mode (kUnknownVersion when it does not answer, or in update
// mode), through the library; opened and closed again.
uint16_t ReadUnitVersion(CommandContext& context, const Unit& unit);

// Where an update has left its unit so far.
enum class UnitLeft {
    AsItWas,     // never switched: in normal mode with its firmware
    UpdateMode,  // in update mode (switched, or found there)
    Normal,      // the close byte went out: back in normal mode
};

// What one unit's update did, filled in as it goes.
struct UnitTrack {
    UnitLeft left = UnitLeft::AsItWas;
    bool followed = false;  // twin holds its update-mode device
    UpdateUnit twin;
    bool back = false;  // normal holds the unit found in normal mode after the close byte
    Unit normal;
    uint16_t after = kUnknownVersion;
};

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

    FwSession(CommandContext& c, const ConsoleSettings& settings, const UpdateUnit& twin, const Unit& named);
    JsonObject Fields() const;
};

// ListUnits, in turn with the library calls of the updates running on other threads.
std::vector<Unit> ListUnitsInTurn(CommandContext& context);

// The numbers of the converters in normal mode now.
std::vector<int> NormalNumbers(CommandContext& context);

// The unit back in normal mode after the close byte, looked for up to the wait: its version
// (kUnknownVersion when it did not come back), and in back the unit when found.
uint16_t VersionAfter(CommandContext& context, const Unit& unit, const std::vector<int>& numbersBefore, Unit* back);

// Updates unit with image (judged and the question answered before; null: a unit in update mode
// has the file judged by the run itself, question included, as the dialog does). A unit in update
// mode is recovered from the run on; a unit in normal mode (before: its version) is switched and
// followed to its own update-mode device first. The unit's result is written on context.out;
// returns its exit code. start: when the command began for this unit (its seconds).
int UpdateOneUnit(CommandContext& context,
                  const ConsoleSettings& settings,
                  const Unit& unit,
                  const CheckedImage* image,
                  const std::string& path,
                  uint16_t before,
                  double start,
                  UnitTrack& track);

// True while an update of this program works on the update-mode device at path: a device that
// appears is not taken for another unit's, and --watch does not take it for a new unit.
bool TwinInUse(const std::string& path);

#endif
