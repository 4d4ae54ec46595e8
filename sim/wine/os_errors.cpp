// Windows error -> errno for the SG_IO bridge (measured against Wine 8.0's ntdll).
#include "os_errors.h"

#include <cerrno>

#include "../../lib/include/brg40firmup.h"

namespace sim {

const ErrnoMapping kErrnoMappings[] = {
    {BRG40_ERROR_INVALID_FUNCTION, ESPIPE},  // via STATUS_ILLEGAL_FUNCTION
    {BRG40_ERROR_ACCESS_DENIED, EPERM},
    {BRG40_ERROR_INVALID_HANDLE, EBADF},
    {BRG40_ERROR_NOT_READY, EIO},       // via STATUS_DEVICE_NOT_READY
    {BRG40_ERROR_GEN_FAILURE, ENODEV},  // Wine maps unlisted errnos to STATUS_UNSUCCESSFUL
    {BRG40_ERROR_SHARING_VIOLATION, EAGAIN},
    {BRG40_ERROR_NOT_SUPPORTED, ENOTTY},
    {BRG40_ERROR_INVALID_PARAMETER, EINVAL},
    {BRG40_ERROR_DISK_FULL, ENOSPC},
    {BRG40_ERROR_BUSY, EBUSY},       // via STATUS_DEVICE_BUSY
    {BRG40_ERROR_NOACCESS, EFAULT},  // via STATUS_ACCESS_VIOLATION
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
