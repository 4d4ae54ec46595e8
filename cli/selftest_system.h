// brg40 selftest's look at the system around the converter, one implementation per platform
// (selftest_linux.cpp: the sg module, the node's permissions and holders, udev's record of it;
// selftest_win32.cpp).
#ifndef BRG40_CLI_SELFTEST_SYSTEM_H
#define BRG40_CLI_SELFTEST_SYSTEM_H

#include <string>
#include <vector>

#include "units.h"

struct SelfCheck {
    std::string name;
    bool ok;
    std::string detail;
};

// The checks of the system for unit (null: no converter in normal mode was chosen). Read only.
std::vector<SelfCheck> SystemChecks(const Unit* unit);

#endif
