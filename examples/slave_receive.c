/* slave_receive: puts the converter into slave mode, waits up to 10 seconds for one batch of
 * data from an outside I2C master (delivered to a callback on the library's worker thread),
 * prints it and leaves the slave mode. Exit status: 0 when data came, 1 without a converter,
 * 2 on any other failure or when nothing came. */
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "brg40firmup.h"
#include "brg40firmup_status.h"

static unsigned char received[BRG40_SLAVE_AREA_DATA];
static volatile LONG received_count = -1;

/* Runs on the library's worker thread: copy the bytes out of the shared area, then signal. */
static int on_data(unsigned int count, unsigned char* area) {
    memcpy(received, area, count);
    InterlockedExchange(&received_count, (LONG)count);
    return 0;
}

static int failed(const char* what, int status) {
    char text[BRG40_STATUS_TEXT_SIZE];
    printf("%s: %s (status %d); check %s\n", what, brg40_status_text(status, text, sizeof text), status,
           brg40_status_cause(status));
    return 2;
}

int main(void) {
    int status = 0, result = 2, i;
    LONG count;
    Brg40Handle handle = brg40_open(&status);
    if (handle == NULL) {
        failed("open", status);
        return 1;
    }
    status = brg40_mode_change_ex(handle, 2, 0); /* the slave mode: mode bit 2 */
    if (status != BRG40_OK) {
        result = failed("slave mode", status);
    } else {
        brg40_i2c_read_slave(handle, 0, on_data, NULL);
        for (i = 0; i < 100 && InterlockedCompareExchange(&received_count, 0, 0) < 0; ++i) {
            Sleep(100);
        }
        count = InterlockedCompareExchange(&received_count, 0, 0);
        if (count < 0) {
            printf("No data within 10 seconds\n");
        } else {
            printf("Received %ld bytes:", count);
            for (i = 0; i < count; ++i) {
                printf(" %02X", received[i]);
            }
            printf("\n");
            result = 0;
        }
        /* Leaving the slave mode also ends a worker still waiting (at its next poll). */
        status = brg40_mode_change_ex(handle, 0, 0);
        if (status != BRG40_OK) {
            result = failed("leave slave mode", status);
        }
    }
    brg40_close(handle);
    return result;
}
