/* dll_version_probe.exe PATH: loads the library from PATH and prints what brg40_get_dll_version
 * reports, as "dll_version=STATUS MAJOR.MINOR". The suite puts another file of the same name
 * beside this program, where a search by bare name would find it first. */
#include <windows.h>

#include <stdio.h>

typedef int (*GetDllVersion)(void*, unsigned char*, unsigned char*);

int main(int argc, char** argv) {
    HMODULE library;
    GetDllVersion get_dll_version;
    unsigned char major = 0, minor = 0;
    int status;

    if (argc < 2) {
        printf("usage: dll_version_probe PATH\n");
        return 2;
    }
    library = LoadLibraryA(argv[1]);
    if (library == NULL) {
        printf("cannot load %s: %lu\n", argv[1], GetLastError());
        return 1;
    }
    get_dll_version = (GetDllVersion)(void (*)(void))GetProcAddress(library, "brg40_get_dll_version");
    if (get_dll_version == NULL) {
        printf("no brg40_get_dll_version\n");
        return 1;
    }
    status = get_dll_version(NULL, &major, &minor);
    printf("dll_version=%d %u.%u\n", status, major, minor);
    return 0;
}
