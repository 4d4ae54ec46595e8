// Windows error -> errno for the SG_IO bridge (measured against Wine 8.0's ntdll).
#include "os_errors.h"

#include <cerrno>

namespace sim {

const ErrnoMapping kErrnoMappings[] = {
    {1, ESPIPE},    // ERROR_INVALID_FUNCTION via STATUS_ILLEGAL_FUNCTION
    {5, EPERM},     // ERROR_ACCESS_DENIED
    {6, EBADF},     // ERROR_INVALID_HANDLE
    {21, EIO},      // ERROR_NOT_READY via STATUS_DEVICE_NOT_READY
    {31, ENODEV},   // ERROR_GEN_FAILURE: Wine maps unlisted errnos to STATUS_UNSUCCESSFUL
    {32, EAGAIN},   // ERROR_SHARING_VIOLATION
    {50, ENOTTY},   // ERROR_NOT_SUPPORTED
    {87, EINVAL},   // ERROR_INVALID_PARAMETER
    {112, ENOSPC},  // ERROR_DISK_FULL
    {170, EBUSY},   // ERROR_BUSY via STATUS_DEVICE_BUSY
    {998, EFAULT},  // ERROR_NOACCESS via STATUS_ACCESS_VIOLATION
};
const size_t kErrnoMappingCount = sizeof kErrnoMappings / sizeof kErrnoMappings[0];

int errno_for_windows_error(uint32_t windows_error) {
    for (const ErrnoMapping& m : kErrnoMappings) {
        if (m.windows_error == windows_error) {
            return m.unix_errno;
        }
    }
    return 0;
}

}  // namespace sim
