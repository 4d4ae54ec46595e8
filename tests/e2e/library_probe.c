/* library_probe.exe: drives the real DLL through its exports against the simulated converter
 * and prints one "name=value" line per result, for the Wine suite to compare. The suite arms the
 * simulator's faults before the run (one per command code, each for one request):
 *   0xDB sense 3/80/04, 0xE1 sense 3/80/09, 0xE8 sense 5/24/00, 0xE9 oserror 21, 0xDA oserror 31.
 * Uses only the public header and the import library. */
#include <stdio.h>

#include "brg40firmup.h"

int main(void)
{
    int status = 0;
    int second_status = 0;
    unsigned char major = 0, minor = 0;
    Brg40Handle handle = brg40_open(&status);
    Brg40Handle second;

    printf("open=%d\n", status);
    if (handle == NULL) {
        return 1;
    }
    second = brg40_open(&second_status);
    printf("second_open=%d null=%d\n", second_status, second == NULL);

    printf("led_sense_3_80_04=%d\n", brg40_led_control(handle, 1));
    printf("gpo_sense_3_80_09=%d\n", brg40_gpo_write(handle, 0x5A));
    printf("pullup_sense_5=%d\n", brg40_i2c_pullup(handle, 1));
    printf("bus_reset_oserror_21=%d\n", brg40_i2c_bus_reset(handle));
    /* The next requests must not see anything of the failures before them. */
    printf("led_after=%d\n", brg40_led_control(handle, 2));
    status = brg40_get_fw_version(handle, &major, &minor);
    printf("version_oserror_31=%d %02X.%02X\n", status, major, minor);
    status = brg40_get_fw_version(handle, &major, &minor);
    printf("version=%d %X.%02X\n", status, major, minor);
    printf("close=%d\n", brg40_close(handle));
    handle = brg40_open(&status);
    printf("reopen=%d\n", status);
    brg40_close(handle);
    return 0;
}
