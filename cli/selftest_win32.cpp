// brg40 selftest on Windows: nothing to look at beside the converter itself. Access to LPTn is the
// driver's and the system's (brg40 says so when an open is denied), and fw update installs the
// update-mode driver from the .inf beside it.
#include "selftest_system.h"

std::vector<SelfCheck> SystemChecks(const Unit*) {
    return {};
}
