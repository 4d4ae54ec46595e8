/* brg40firmup_status.h: texts for the statuses of Brg40Firmup_x64, header-only (static inline,
 * nothing to link). Usable from C (C99 or later) and C++.
 *
 * brg40_status_text() names what a status means; brg40_status_cause() says what to check.
 * Both work for every status the library returns: its own codes, the converter's error reports
 * (including 3) and the Windows error numbers of failed requests that it passes through.
 *
 * Threads: both functions keep no state. brg40_status_cause() returns constant texts only;
 * brg40_status_text() returns a constant text or writes into the caller's buffer. Any thread may
 * call them at any time, also at once.
 */
#ifndef BRG40FIRMUP_STATUS_H
#define BRG40FIRMUP_STATUS_H

#include <stddef.h>
#include <stdio.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include "brg40firmup.h"

#ifdef __cplusplus
extern "C" {
#endif

/** Room for any text that brg40_status_text() writes into its buffer, terminator included. */
#define BRG40_STATUS_TEXT_SIZE 256

/** @cond BRG40_STATUS_INTERNALS */

/* One status with its short text and what to check. */
typedef struct Brg40StatusEntry {
    int status;
    const char* text;
    const char* cause;
} Brg40StatusEntry;

/* The library's codes, the converter's error reports, then the Windows errors that a failed
 * request can bring (the library passes GetLastError() on unchanged; 31 also stands for a
 * failure that came without an error number). */
static inline const Brg40StatusEntry* brg40_status_entry(int status) {
    static const Brg40StatusEntry entries[] = {
        {BRG40_OK, "success", "nothing: the call succeeded"},
        {BRG40_NO_DEVICE, "no converter found, or it could not be opened",
         "the converter is plugged in and its driver installed; no other program holds it open; "
         "for brg40_open_ex, a number from 1 to 9 that brg40_find_device listed"},
        {BRG40_AMBIGUOUS, "the selector names more than one converter",
         "the selector: a number, a full serial or port path, or a device node names one converter"},
        {BRG40_ALREADY_OPEN, "a converter opened by brg40_open is still open",
         "call brg40_close on the earlier handle, or use brg40_open_ex for a second converter"},
        {BRG40_BAD_MODE, "mode refused: its low three bits are all set", "the mode value: mode AND 7 must not be 7"},
        {BRG40_SLAVE_MODE_EX_ONLY, "this slave mode needs brg40_mode_change_ex",
         "mode AND 7 equal to 2 is accepted by brg40_mode_change_ex only"},
        {BRG40_DEVICE_ERROR,
         "the converter reported an error (other than its six detail codes), "
         "or the library has no version information",
         "the command's arguments and the converter's current mode; for brg40_get_dll_version, that "
         "Brg40Firmup_x64.dll carries its version resource; for brg40_i2c_set_freq, a selector of 0, 1 or 2"},
        {BRG40_DEVICE_ERROR_1, "converter error 1", "the command's arguments and the converter's mode"},
        {BRG40_DEVICE_ERROR_2, "converter error 2", "the command's arguments and the converter's mode"},
        {BRG40_DEVICE_ERROR_3, "converter error 3", "the command's arguments and the converter's mode"},
        {BRG40_DEVICE_ERROR_4, "converter error 4", "the command's arguments and the converter's mode"},
        {BRG40_DEVICE_ERROR_5, "converter error 5", "the command's arguments and the converter's mode"},
        {BRG40_DEVICE_ERROR_6, "converter error 6", "the command's arguments and the converter's mode"},
        {BRG40_DEVICE_DETAIL, "converter error with an unlisted detail",
         "the command's arguments and the converter's mode; its firmware version"},
        {1, "the driver does not support the request",
         "the handle belongs to the converter (brg40_open_ex opens any device without checking it)"},
        {2, "the device is gone", "the cable: the converter was unplugged or re-enumerated; open it again"},
        {5, "access denied", "no other program or driver holds the converter; the user's rights"},
        {6, "invalid handle", "the handle: NULL, already closed, or not from brg40_open or brg40_open_ex"},
        {8, "not enough memory", "the system's free memory; smaller transfers"},
        {21, "the device is not ready", "the converter's power and cable; wait and retry"},
        {31, "the request failed without a reason",
         "the cable and the converter (unplugged, or in firmware-update mode); close and open it again"},
        {32, "the device is in use", "another program holds the converter open; close it there"},
        {50, "the request is not supported", "the handle belongs to the converter and its driver is installed"},
        {55, "the device no longer exists", "the cable: the converter was unplugged; open it again"},
        {87, "invalid parameter", "lengths and buffers: a one-byte transfer needs a two-byte buffer"},
        {112, "no space left on the device", "the transfer length against the converter's limit"},
        {121, "the request timed out",
         "the converter answers (5 s limit per command, 10 s for EEPROM, debug registers and update mode)"},
        {170, "the device is busy", "wait for the other request on this converter to end, then retry"},
        {998, "invalid buffer address", "the data buffer: valid and as long as the transfer"},
        {1117, "I/O device error", "the cable and the converter; close and open it again"},
        {1167, "the device is not connected", "the cable: the converter was unplugged; open it again"},
        {1460, "the request timed out", "the converter answers; its cable and power"},
        {1784, "invalid buffer", "the data buffer: valid, writable for reads and as long as the transfer"},
    };
    size_t i;
    for (i = 0; i < sizeof(entries) / sizeof(entries[0]); ++i) {
        if (entries[i].status == status) {
            return &entries[i];
        }
    }
    return NULL;
}

/* True for a status that is a Windows error number passed through (3 is the converter's). */
static inline int brg40_status_is_system_error(int status) {
    return status > 0 && status != BRG40_DEVICE_DETAIL;
}

/** @endcond */

/** Short text for a status, in English, or on Windows the system's text (its language) for a
 *  Windows error number.
 *  @param status  any status of the library: a return value, or what brg40_open and brg40_open_ex
 *                 stored.
 *  @param buffer  the caller's buffer, used only for a text made on demand: the system's message
 *                 for a Windows error number (Windows), or "Windows error N" / "unknown status N"
 *                 for a number without a text of its own. May be NULL when size is 0.
 *  @param size    size of buffer in bytes; BRG40_STATUS_TEXT_SIZE holds any such text (a longer
 *                 system message is cut).
 *  @returns a terminated text, never NULL: a constant text, or buffer (or "" when the text would
 *           need the buffer and size is 0). Valid as long as buffer is. */
static inline const char* brg40_status_text(int status, char* buffer, size_t size) {
    const Brg40StatusEntry* entry = brg40_status_entry(status);
    if (buffer == NULL || size == 0) {
        return entry != NULL ? entry->text : "";
    }
#ifdef _WIN32
    if (brg40_status_is_system_error(status)) {
        /* The system's own text, one line, without its trailing full stop and line end. */
        DWORD n =
            FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
                           NULL, (DWORD)status, 0, buffer, (DWORD)(size > 0xFFFF ? 0xFFFF : size), NULL);
        while (n > 0 &&
               (buffer[n - 1] == ' ' || buffer[n - 1] == '.' || buffer[n - 1] == '\r' || buffer[n - 1] == '\n')) {
            buffer[--n] = '\0';
        }
        if (n > 0) {
            return buffer;
        }
    }
#endif
    if (entry != NULL) {
        return entry->text;
    }
    {
        /* Made in room that always fits, then cut to the caller's size (a compiler may warn about
         * a cut that snprintf makes into a small buffer). */
        char made[40];
        size_t n = 0;
        snprintf(made, sizeof made, brg40_status_is_system_error(status) ? "Windows error %d" : "unknown status %d",
                 status);
        while (n + 1 < size && made[n] != '\0') {
            buffer[n] = made[n];
            ++n;
        }
        buffer[n] = '\0';
    }
    return buffer;
}

/** What to check when a call returned this status (English, one line).
 *  @param status  any status of the library.
 *  @returns a constant text, never NULL; a general hint for a number without a text of its own. */
static inline const char* brg40_status_cause(int status) {
    const Brg40StatusEntry* entry = brg40_status_entry(status);
    if (entry != NULL) {
        return entry->cause;
    }
    if (brg40_status_is_system_error(status)) {
        return "the converter's cable and driver; close the handle and open the converter again";
    }
    return "the value: it is not a status of this library";
}

#ifdef __cplusplus
}
#endif

#endif /* BRG40FIRMUP_STATUS_H */
