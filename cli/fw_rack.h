// brg40 fw update FILE on several units: --all (every unit present), -d given more than once (the
// units named), --watch (each unit as it is plugged in, until Ctrl+C). The image is judged once;
// each unit then runs on a worker of its own.
#ifndef BRG40_CLI_FW_RACK_H
#define BRG40_CLI_FW_RACK_H

#include <string>

#include "command_context.h"

// Whether fw update works on several units.
bool IsRackUpdate(const Arguments& args);

int UpdateRack(CommandContext& context, const std::string& path);
int WatchStation(CommandContext& context, const std::string& path);

#endif
