#include "errno_table.h"

#include <cerrno>

namespace brg40 {

namespace {

constexpr uint32_t kErrorGenFailure = 31;

// Each errno once; where several become one Windows error, the first is the one a simulated
// device raises for it.
const ErrnoRow kRows[] = {
    {ENOTTY, 1},       // ERROR_INVALID_FUNCTION: the node is not a SCSI generic device
    {ENOSYS, 1},       //
    {ENOENT, 2},       // ERROR_FILE_NOT_FOUND: no such node
    {EACCES, 5},       // ERROR_ACCESS_DENIED: the node's permissions (see the udev rule)
    {EPERM, 5},        //
    {EBADF, 6},        // ERROR_INVALID_HANDLE
    {ENOMEM, 8},       // ERROR_NOT_ENOUGH_MEMORY
    {EBUSY, 32},       // ERROR_SHARING_VIOLATION: another program holds the node exclusively
    {EOPNOTSUPP, 50},  // ERROR_NOT_SUPPORTED
    {EINVAL, 87},      // ERROR_INVALID_PARAMETER
    {ENOSPC, 112},     // ERROR_DISK_FULL
    {ETIMEDOUT, 121},  // ERROR_SEM_TIMEOUT
    {EAGAIN, 170},     // ERROR_BUSY: the driver has no room for the request now
    {EFAULT, 998},     // ERROR_NOACCESS: a buffer the kernel cannot reach
    {EIO, 1117},       // ERROR_IO_DEVICE
    {ENODEV, 1167},    // ERROR_DEVICE_NOT_CONNECTED: the converter was unplugged
    {ENXIO, 1167},     //
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
    return kErrorGenFailure;
}

int errno_for_windows_error(uint32_t windows_error) {
    for (const ErrnoRow& row : kRows) {
        if (row.windows_error == windows_error) {
            return row.unix_errno;
        }
    }
    return 0;
}

}  // namespace brg40
