/* A program built as an MSVC one (clang --target=x86_64-pc-windows-msvc, lld-link) against the
 * package's Brg40Firmup_x64.lib alone: no C runtime, so its own entry point and no standard
 * library. Exit status: 0 when it read the firmware version of the first converter; 1 to 3 tell
 * which step failed. */
#include "brg40firmup.h"

int mainCRTStartup(void) {
    int count = 0, status = 0;
    int numbers[9];
    unsigned char major = 0xFF, minor = 0xFF;
    Brg40Handle handle;
    if (brg40_find_device(&count, numbers) != BRG40_OK || count < 1) {
        return 1;
    }
    handle = brg40_open_ex(numbers[0], &status);
    if (handle == 0) {
        return 2;
    }
    status = brg40_get_fw_version(handle, &major, &minor);
    brg40_close(handle);
    return status == BRG40_OK && major == 1 && minor == 4 ? 0 : 3;
}
