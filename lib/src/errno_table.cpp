// errno and the SCSI generic driver's statuses as the Windows error of the same meaning: the
// tables the Linux seam translates by.
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

struct StatusRow {
    uint16_t value;
    uint32_t windows_error;
};

// The host adapter's statuses with a meaning of their own (the kernel's DID_ values); any other
// nonzero one is a failure of the adapter (ERROR_IO_DEVICE).
const StatusRow kHostRows[] = {
    {0x01, BRG40_ERROR_DEVICE_NOT_CONNECTED},  // DID_NO_CONNECT: the device has gone
    {0x02, BRG40_ERROR_BUSY},                  // DID_BUS_BUSY: the command never got the bus
    {0x03, BRG40_ERROR_SEM_TIMEOUT},           // DID_TIME_OUT: the request's time-out passed
};

constexpr uint16_t kDriverSense = 0x08;    // DRIVER_SENSE: sense data came, the SCSI status tells
constexpr uint16_t kDriverTimeout = 0x06;  // DRIVER_TIMEOUT

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

uint32_t windows_error_for_sg_status(uint16_t host_status, uint16_t driver_status) {
    if (host_status != 0) {
        for (const StatusRow& row : kHostRows) {
            if (row.value == host_status) {
                return row.windows_error;
            }
        }
        return BRG40_ERROR_IO_DEVICE;
    }
    // Older kernels put a suggestion (retry, abort, ...) in the high four bits; it says nothing
    // about whether this request failed. Newer ones report DRIVER_SENSE alone, or nothing.
    const uint16_t driver = driver_status & 0x0F;
    if (driver == 0 || driver == kDriverSense) {
        return 0;
    }
    return driver == kDriverTimeout ? BRG40_ERROR_SEM_TIMEOUT : BRG40_ERROR_IO_DEVICE;
}

}  // namespace brg40
