/* unload_probe.exe DLL_PATH: loads the library at run time, starts an I2C slave worker on the
 * converter at LPT3 (no slave data waits, so it polls every 500 ms), closes the handle and frees
 * the library while the worker sleeps between two polls. The worker's reference must keep the
 * library mapped until its next poll fails on the closed handle and it exits; only then does the
 * library go. Prints "held=", "alive=" and "released=" lines. */
#include <windows.h>

#include <stdio.h>

#include "brg40firmup.h"

typedef Brg40Handle(__cdecl* OpenExFn)(int, int*);
typedef int(__cdecl* ModeFn)(Brg40Handle, int, unsigned short);
typedef int(__cdecl* SlaveFn)(Brg40Handle, int, Brg40SlaveCallback, void*);
typedef int(__cdecl* CloseFn)(Brg40Handle);

static int on_slave_data(unsigned int count, unsigned char* area) {
    (void)count;
    (void)area;
    return 0;
}

int main(int argc, char** argv) {
    HMODULE library;
    OpenExFn open_ex;
    ModeFn mode_change_ex;
    SlaveFn read_slave;
    CloseFn close_handle;
    Brg40Handle handle;
    int status = -1;
    int i;

    if (argc < 2 || (library = LoadLibraryA(argv[1])) == NULL) {
        printf("load failed\n");
        return 1;
    }
    open_ex = (OpenExFn)(void*)GetProcAddress(library, "brg40_open_ex");
    mode_change_ex = (ModeFn)(void*)GetProcAddress(library, "brg40_mode_change_ex");
    read_slave = (SlaveFn)(void*)GetProcAddress(library, "brg40_i2c_read_slave");
    close_handle = (CloseFn)(void*)GetProcAddress(library, "brg40_close");
    handle = open_ex(3, &status);
    printf("open=%d\n", status);
    printf("slave_mode=%d\n", mode_change_ex(handle, 2, 0));
    printf("read_slave=%d\n", read_slave(handle, 0, on_slave_data, NULL));
    Sleep(200); /* the worker has polled once and sleeps */
    close_handle(handle);
    FreeLibrary(library);
    printf("held=%d\n", GetModuleHandleA("Brg40Firmup_x64.dll") != NULL);
    fflush(stdout);
    Sleep(1500); /* the worker wakes up inside the library, fails its poll and exits */
    printf("alive=1\n");
    for (i = 0; i < 50 && GetModuleHandleA("Brg40Firmup_x64.dll") != NULL; ++i) {
        Sleep(100);
    }
    printf("released=%d\n", GetModuleHandleA("Brg40Firmup_x64.dll") == NULL);
    return 0;
}
