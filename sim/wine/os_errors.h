// The Windows errors the SG_IO bridge can hand to a Wine process, and the errno that Wine 8
// turns into each (ntdll maps the ioctl's errno to an NTSTATUS, kernel32 that to the error).
#ifndef BRG40_SIM_OS_ERRORS_H
#define BRG40_SIM_OS_ERRORS_H

#include <cstddef>
#include <cstdint>

namespace sim {

struct ErrnoMapping {
    uint32_t windows_error;
    int unix_errno;
};

extern const ErrnoMapping kErrnoMappings[];
extern const size_t kErrnoMappingCount;

// The errno for a Windows error, or 0 when the bridge cannot carry that error.
int errno_for_windows_error(uint32_t windows_error);

}  // namespace sim

#endif
