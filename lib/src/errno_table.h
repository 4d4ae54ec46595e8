// Linux errno values, and the SCSI generic driver's host and driver statuses, as the Windows
// error numbers the library's statuses carry, so that a status means the same on both systems.
// The public header documents both tables.
#ifndef BRG40_ERRNO_TABLE_H
#define BRG40_ERRNO_TABLE_H

#include <cstddef>
#include <cstdint>

namespace brg40 {

struct ErrnoRow {
    int unix_errno;
    uint32_t windows_error;
};

// Every errno the library translates by name; any other becomes ERROR_GEN_FAILURE (31).
const ErrnoRow* errno_rows(size_t* count);

uint32_t windows_error_for_errno(int unix_errno);

// The Windows error of a request that the driver completed with these statuses of its sg_io_hdr
// (host_status: the host adapter's DID_ value; driver_status: the driver's DRIVER_ value in the
// low four bits, a suggestion in the high four), or 0 when neither reports a failure and the
// SCSI status and sense data tell the outcome. The host adapter's status decides first.
uint32_t windows_error_for_sg_status(uint16_t host_status, uint16_t driver_status);

}  // namespace brg40

#endif
