/* library_probe.exe: drives the real DLL through its exports against the simulated converter
 * and prints one "name=value" line per result, for the Wine suite to compare. The suite arms the
 * simulator's faults before the run (one per command code, each for one request):
 *   0xDB sense 3/80/04, 0xE1 sense 3/80/09, 0xE8 sense 5/24/00, 0xE9 oserror 21, 0xDA oserror 31;
 * and leaves slave data waiting: I2C 01 02 03 04 05, SPI 0A 0B 0C.
 * Uses only the public header and the import library (and windows.h for the slave window). */
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "brg40firmup.h"

static volatile LONG callback_count = -1;
static unsigned char callback_bytes[8];

/* Runs on the library's worker thread. */
static int on_slave_data(unsigned int count, unsigned char* area) {
    memcpy(callback_bytes, area, sizeof callback_bytes);
    InterlockedExchange(&callback_count, (LONG)count);
    return 0;
}

static void print_bytes(const char* name, unsigned int count, const unsigned char* bytes) {
    unsigned int i;
    printf("%s=%u ", name, count);
    for (i = 0; i < count && i < 8; ++i) {
        printf("%02X", bytes[i]);
    }
    printf("\n");
}

/* Both slave deliveries, while this thread keeps sending its own commands on the same handle. */
static void slave_delivery(Brg40Handle handle) {
    HWND window = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, NULL, NULL);
    int busy = 0;
    int i;
    MSG msg;

    printf("slave_mode=%d\n", brg40_mode_change_ex(handle, 2, 0));
    printf("i2c_read_slave=%d\n", brg40_i2c_read_slave(handle, 0, on_slave_data, NULL));
    for (i = 0; i < 300 && callback_count < 0; ++i) {
        busy |= brg40_led_control(handle, (unsigned char)i);
        Sleep(10);
    }
    printf("led_while_worker=%d\n", busy);
    print_bytes("slave_callback", callback_count < 0 ? 0 : (unsigned int)callback_count, callback_bytes);

    printf("spi_transmit_slave=%d\n", brg40_spi_transmit_slave(handle, 1, NULL, window));
    for (i = 0; i < 300; ++i) {
        if (PeekMessageA(&msg, window, BRG40_WM_SLAVE_DATA, BRG40_WM_SLAVE_DATA, PM_REMOVE)) {
            print_bytes("slave_message", (unsigned int)msg.wParam, (const unsigned char*)msg.lParam);
            break;
        }
        Sleep(10);
    }
    printf("leave_slave_mode=%d\n", brg40_mode_change_ex(handle, 0, 0));
    DestroyWindow(window);
}

int main(void) {
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
    slave_delivery(handle);
    printf("close=%d\n", brg40_close(handle));
    handle = brg40_open(&status);
    printf("reopen=%d\n", status);
    brg40_close(handle);
    return 0;
}
