// The device names of a system that numbers its devices by position, LPT1 to LPT9: the Windows
// seam, and the test seams that play Windows. The search tries "\\.\LPTn"; opening by number
// uses the DOS name "LPTn", which the system maps to the same device. Such a system describes no
// converter without asking it, and its device names are not links.
#include <cstdio>

#include "os.h"

namespace brg40 {

bool os_device_candidate(int index, char* name, size_t size) {
    if (index < 0 || index > 8) {
        return false;
    }
    const int n = std::snprintf(name, size, "\\\\.\\LPT%d", index + 1);
    return n > 0 && static_cast<size_t>(n) < size;
}

bool os_device_by_number(int number, char* name, size_t size) {
    const int n = std::snprintf(name, size, "LPT%d", number);
    return n > 0 && static_cast<size_t>(n) < size;
}

int os_described_units(OsUnit*, int) {
    return -1;
}

bool os_same_unit(const OsUnit&) {
    return true;
}

bool os_resolve_node(const char* name, char* resolved, size_t size) {
    const int n = std::snprintf(resolved, size, "%s", name);
    return n >= 0 && static_cast<size_t>(n) < size;
}

}  // namespace brg40
