// Linux errno values as the Windows error numbers the library's statuses carry, so that a status
// means the same on both systems. The public header documents the table.
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

}  // namespace brg40

#endif
