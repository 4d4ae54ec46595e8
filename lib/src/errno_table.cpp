// errno as the Windows error of the same meaning: the one table the Linux seam translates by.
#include "errno_table.h"

#include "brg40firmup.h"

#include <cerrno>

namespace brg40 {

namespace {

// Each errno once; where several become one Windows error, the first is the one the emulated
// devices of the Linux tests raise for it.
const ErrnoRow kRows[] = {
    {ENOTTY, BRG40_ERROR_INVALID_FUNCTION},  // the node is not a SCSI generic device
    {ENOSYS, BRG40_ERROR_INVALID_FUNCTION},
    {ENOENT, BRG40_ERROR_FILE_NOT_FOUND},  // no such node
    {EACCES, BRG40_ERROR_ACCESS_DENIED},   // the node's permissions (see the udev rule)
    {EPERM, BRG40_ERROR_ACCESS_DENIED},
    {EBADF, BRG40_ERROR_INVALID_HANDLE},
    {ENOMEM, BRG40_ERROR_NOT_ENOUGH_MEMORY},
    {EBUSY, BRG40_ERROR_SHARING_VIOLATION},  // another program holds the node exclusively
    {EOPNOTSUPP, BRG40_ERROR_NOT_SUPPORTED},
    {EINVAL, BRG40_ERROR_INVALID_PARAMETER},
    {ENOSPC, BRG40_ERROR_DISK_FULL},
    {ETIMEDOUT, BRG40_ERROR_SEM_TIMEOUT},
    {EAGAIN, BRG40_ERROR_BUSY},      // the driver has no room for the request now
    {EDOM, BRG40_ERROR_BUSY},        // the descriptor already has as many requests queued as it takes
    {EFAULT, BRG40_ERROR_NOACCESS},  // a buffer the kernel cannot reach
    {EIO, BRG40_ERROR_IO_DEVICE},
    {ENODEV, BRG40_ERROR_DEVICE_NOT_CONNECTED},  // the converter was unplugged
    {ENXIO, BRG40_ERROR_DEVICE_NOT_CONNECTED},
};

}  // namespace

const ErrnoRow* errno_rows(size_t* count) {
    *count = sizeof(kRows) / sizeof(kRows[0]);
    return kRows;
}

uint32_t windows_error_for_errno(int unix_errno) {
    for (const ErrnoRow& row : kRows) {
        if (row.unix_errno == unix_errno) {
            return row.windows_error;
        }
    }
    return BRG40_ERROR_GEN_FAILURE;
}

}  // namespace brg40
