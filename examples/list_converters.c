/* list_converters: lists the NKV-BRG40M converters attached to this PC, opens the first one and
 * prints its firmware version and hardware information, and the version of the library.
 * Uses only brg40firmup.h and the import library of Brg40Firmup_x64.dll.
 * Exit status: 0 when a converter was shown, 1 when none was found, 2 when it could not be used. */
#include <stdio.h>

#include "brg40firmup.h"

int main(void) {
    unsigned char major = 0xFF, minor = 0xFF;
    int count = 0;
    int numbers[9];
    int status;
    int i;
    Brg40Handle handle;
    Brg40HwInfo info;

    status = brg40_get_dll_version(NULL, &major, &minor);
    if (status == BRG40_OK) {
        printf("Library version: %u.%u\n", major, minor);
    } else {
        printf("Library version: unknown (status %d)\n", status);
    }

    status = brg40_find_device(&count, numbers);
    if (status != BRG40_OK) {
        printf("No converter found (status %d)\n", status);
        return 1;
    }
    printf("Converters found: %d (", count);
    for (i = 0; i < count; ++i) {
        printf("%sLPT%d", i > 0 ? ", " : "", numbers[i]);
    }
    printf(")\n");

    handle = brg40_open_ex(numbers[0], &status);
    if (handle == NULL) {
        printf("Cannot open LPT%d (status %d)\n", numbers[0], status);
        return 2;
    }
    printf("Opened LPT%d\n", numbers[0]);

    status = brg40_get_fw_version(handle, &major, &minor);
    if (status == BRG40_OK) {
        printf("  Firmware version: %X.%02X\n", major, minor);
    } else {
        printf("  Firmware version: unknown (status %d)\n", status);
    }

    status = brg40_get_hw_info(handle, &info);
    if (status == BRG40_OK) {
        printf("  Hardware information: flag2=%u flag1=%u word=0x%04X bits6=%u\n", info.flag2, info.flag1, info.word,
               info.bits6);
    } else {
        printf("  Hardware information: unknown (status %d)\n", status);
    }

    brg40_close(handle);
    return 0;
}
