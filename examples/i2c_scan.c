/* i2c_scan: asks every 7-bit I2C address from 0x08 to 0x77 for one byte, at 100 kHz, and lists
 * the addresses that answer. The converter's firmware gives the target fields of the I2C master
 * commands their meaning; this example puts the device address in the target byte and 0 in the
 * target word. Exit status: 0 when the scan ran, 1 without a converter, 2 when it failed. */
#include <stdio.h>

#include "brg40firmup.h"
#include "brg40firmup_status.h"

static int report(const char* what, int status) {
    char text[BRG40_STATUS_TEXT_SIZE];
    printf("%s: %s (status %d); check %s\n", what, brg40_status_text(status, text, sizeof text), status,
           brg40_status_cause(status));
    return status;
}

int main(void) {
    int status = 0;
    int address;
    int found = 0;
    Brg40Handle handle = brg40_open(&status);
    if (handle == NULL) {
        report("open", status);
        return 1;
    }
    status = brg40_i2c_set_freq(handle, 2);
    if (status != BRG40_OK) {
        report("I2C speed", status);
        brg40_close(handle);
        return 2;
    }
    printf("I2C devices:");
    for (address = 0x08; address <= 0x77; ++address) {
        unsigned char reply[2]; /* one byte travels as two */
        status = brg40_i2c_read_master(handle, 0, (unsigned char)address, 1, reply);
        if (status == BRG40_OK) {
            printf(" 0x%02X", address);
            ++found;
        } else if (status > 0 && status != BRG40_DEVICE_DETAIL) {
            printf("\n");
            report("I2C read", status); /* the request itself failed: no point in going on */
            brg40_close(handle);
            return 2;
        }
        /* A converter error report: nothing answered at this address. */
    }
    printf("\nFound: %d\n", found);
    brg40_close(handle);
    return 0;
}
