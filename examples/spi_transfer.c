/* spi_transfer: sets the SPI clock, sends the bytes given in hexadecimal and prints the bytes
 * received meanwhile.   spi_transfer HEXBYTES [FREQUENCY]   (e.g. "9F000000"; default 3000)
 * Setting byte 0. Exit status: 0 on success, 1 without a converter, 2 on any other failure. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "brg40firmup.h"
#include "brg40firmup_status.h"

static int failed(const char* what, int status) {
    char text[BRG40_STATUS_TEXT_SIZE];
    printf("%s: %s (status %d); check %s\n", what, brg40_status_text(status, text, sizeof text), status,
           brg40_status_cause(status));
    return 2;
}

int main(int argc, char** argv) {
    unsigned char send[256], receive[256];
    unsigned short length = 0, actual = 0;
    unsigned long requested = argc > 2 ? strtoul(argv[2], NULL, 0) : 3000;
    int status = 0, result = 0;
    size_t i, digits = argc > 1 ? strlen(argv[1]) : 0;
    Brg40Handle handle;

    if (digits < 2 || digits % 2 != 0 || digits > 2 * sizeof send || requested > 0xFFFF) {
        printf("usage: spi_transfer HEXBYTES [FREQUENCY]   (1 to 256 bytes)\n");
        return 2;
    }
    for (i = 0; i < digits; i += 2) {
        char pair[3] = {argv[1][i], argv[1][i + 1], 0};
        send[length++] = (unsigned char)strtoul(pair, NULL, 16);
    }
    send[length] = 0; /* room for the second byte of a one-byte transfer */

    handle = brg40_open(&status);
    if (handle == NULL) {
        failed("open", status);
        return 1;
    }
    status = brg40_spi_set_freq(handle, 0, (unsigned short)requested, &actual);
    if (status != BRG40_OK) {
        result = failed("SPI clock", status);
    } else {
        printf("SPI clock: %u\n", actual);
        status = brg40_spi_transmit_master(handle, 0, length, send, receive);
        if (status != BRG40_OK) {
            result = failed("SPI transfer", status);
        } else {
            printf("Received:");
            for (i = 0; i < length; ++i) {
                printf(" %02X", receive[i]);
            }
            printf("\n");
        }
    }
    brg40_close(handle);
    return result;
}
