/* eeprom_backup: saves the converter's EEPROM to a file, or writes a saved file back and reads
 * it again to check it.
 *   eeprom_backup dump FILE [LENGTH]   LENGTH bytes from the EEPROM's start (default 256)
 *   eeprom_backup restore FILE         the whole file (at most 65535 bytes)
 * Exit status: 0 on success, 1 without a converter, 2 on any other failure. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "brg40firmup.h"
#include "brg40firmup_status.h"

#define MAX_LENGTH 65535

static unsigned char bytes[MAX_LENGTH + 1]; /* +1: a transfer of one byte moves two */
static unsigned char check[MAX_LENGTH + 1];

static int failed(const char* what, int status) {
    char text[BRG40_STATUS_TEXT_SIZE];
    printf("%s: %s (status %d); check %s\n", what, brg40_status_text(status, text, sizeof text), status,
           brg40_status_cause(status));
    return 2;
}

static int dump(Brg40Handle handle, const char* path, unsigned short length) {
    FILE* file;
    int status = brg40_eeprom_read(handle, length, bytes);
    if (status != BRG40_OK) {
        return failed("EEPROM read", status);
    }
    file = fopen(path, "wb");
    if (file == NULL || fwrite(bytes, 1, length, file) != length || fclose(file) != 0) {
        printf("cannot write %s\n", path);
        return 2;
    }
    printf("Saved %u bytes to %s\n", length, path);
    return 0;
}

static int restore(Brg40Handle handle, const char* path) {
    size_t length;
    int status;
    FILE* file = fopen(path, "rb");
    if (file == NULL) {
        printf("cannot read %s\n", path);
        return 2;
    }
    length = fread(bytes, 1, MAX_LENGTH + 1, file);
    fclose(file);
    if (length == 0 || length > MAX_LENGTH) {
        printf("%s: 1 to %d bytes expected\n", path, MAX_LENGTH);
        return 2;
    }
    status = brg40_eeprom_write(handle, (unsigned short)length, bytes);
    if (status != BRG40_OK) {
        return failed("EEPROM write", status);
    }
    status = brg40_eeprom_read(handle, (unsigned short)length, check);
    if (status != BRG40_OK) {
        return failed("EEPROM read-back", status);
    }
    if (memcmp(bytes, check, length) != 0) {
        printf("Read-back differs from %s\n", path);
        return 2;
    }
    printf("Restored %u bytes from %s; read back and verified\n", (unsigned)length, path);
    return 0;
}

int main(int argc, char** argv) {
    int status = 0;
    int result;
    unsigned long length = 256;
    Brg40Handle handle;
    if (argc < 3 || (strcmp(argv[1], "dump") != 0 && strcmp(argv[1], "restore") != 0)) {
        printf("usage: eeprom_backup dump FILE [LENGTH] | eeprom_backup restore FILE\n");
        return 2;
    }
    if (argc > 3) {
        length = strtoul(argv[3], NULL, 0);
        if (length == 0 || length > MAX_LENGTH) {
            printf("LENGTH: 1 to %d\n", MAX_LENGTH);
            return 2;
        }
    }
    handle = brg40_open(&status);
    if (handle == NULL) {
        failed("open", status);
        return 1;
    }
    result = strcmp(argv[1], "dump") == 0 ? dump(handle, argv[2], (unsigned short)length) : restore(handle, argv[2]);
    brg40_close(handle);
    return result;
}
