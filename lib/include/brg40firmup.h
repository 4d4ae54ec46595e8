/* brg40firmup.h: public interface of Brg40Firmup_x64, the device access library of the
 * NKV-BRG40M USB to SPI/I2C converter. Usable from C and C++.
 *
 * Calling order: open a converter (brg40_open, or brg40_find_device then brg40_open_ex),
 * issue operations on the handle, end with brg40_close. Every function returns a status
 * (the two open functions store it through a pointer): 0 is success, anything else a failure.
 * Every data buffer belongs to the caller; the library allocates nothing for its callers.
 * Where a parameter is 8 or 16 bits wide, only those low bits of the caller's value are used.
 * Variable-length transfers of length 1 move 2 bytes: give such calls a two-byte buffer.
 * Data buffers go to the driver as given (no length check). Outputs that the library fills in
 * itself (status, count and numbers, version bytes, hardware record, frequency set) may be NULL:
 * nothing is stored there then.
 *
 * "@returns status" below means the transport status: 0; a converter error report
 * (BRG40_DEVICE_ERROR_1 to _6, BRG40_DEVICE_DETAIL, BRG40_DEVICE_ERROR); or the positive
 * Windows error code of a request that failed without sense data (e.g. 6 for a null or closed
 * handle; 31, ERROR_GEN_FAILURE, when the request failed and the system gave no error code).
 */
#ifndef BRG40FIRMUP_H
#define BRG40FIRMUP_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/** Device handle: the opened converter, pointer-sized and opaque; NULL means no device. */
typedef void *Brg40Handle;

/** Status codes. Positive values other than BRG40_DEVICE_DETAIL are Windows error codes
 *  (GetLastError) of a request that failed without sense data, passed on unchanged. */
enum {
    BRG40_OK = 0,                  /**< success */
    BRG40_NO_DEVICE = -21,         /**< no converter answered the search, or the open failed */
    BRG40_ALREADY_OPEN = -22,      /**< brg40_open: a device opened by brg40_open is still held */
    BRG40_BAD_MODE = -104,         /**< mode change: the low three mode bits are all set */
    BRG40_SLAVE_MODE_EX_ONLY = -204, /**< brg40_mode_change: the low three mode bits are exactly 2 */
    BRG40_DEVICE_ERROR = -400,     /**< converter error other than the six details; or no usable library version */
    BRG40_DEVICE_ERROR_1 = -11,    /**< converter error, sense key 3, code 0x80, qualifier 1 */
    BRG40_DEVICE_ERROR_2 = -6,     /**< converter error, qualifier 2 */
    BRG40_DEVICE_ERROR_3 = -108,   /**< converter error, qualifier 3 */
    BRG40_DEVICE_ERROR_4 = -109,   /**< converter error, qualifier 4 */
    BRG40_DEVICE_ERROR_5 = -110,   /**< converter error, qualifier 5 */
    BRG40_DEVICE_ERROR_6 = -207,   /**< converter error, qualifier 6 */
    BRG40_DEVICE_DETAIL = 3        /**< converter error, sense key 3, code 0x80, qualifier outside 1 to 6 */
};

/** Window message posted by the slave receive operations with delivery choice nonzero:
 *  wParam = byte count, lParam = pointer to the slave receive area. */
#define BRG40_WM_SLAVE_DATA 0x9F3A

/** Size of the data part of the slave receive area; 4 status bytes follow it. */
#define BRG40_SLAVE_AREA_DATA 256

/** Hardware information, filled by brg40_get_hw_info. Bits keep their positions. */
typedef struct Brg40HwInfo {
    unsigned char flag2;    /**< offset 0: reply byte 0 AND 0x02 (0 or 2) */
    unsigned char flag1;    /**< offset 1: reply byte 0 AND 0x01 (0 or 1) */
    unsigned short word;    /**< offset 2: reply bytes 1 (high) and 2 (low), host order */
    unsigned char bits6;    /**< offset 4: reply byte 6 AND 0x06 (0, 2, 4 or 6) */
} Brg40HwInfo;

#if defined(__cplusplus)
static_assert(offsetof(Brg40HwInfo, flag2) == 0, "Brg40HwInfo layout");
static_assert(offsetof(Brg40HwInfo, flag1) == 1, "Brg40HwInfo layout");
static_assert(offsetof(Brg40HwInfo, word) == 2, "Brg40HwInfo layout");
static_assert(offsetof(Brg40HwInfo, bits6) == 4, "Brg40HwInfo layout");
static_assert(sizeof(Brg40HwInfo) == 6, "Brg40HwInfo layout");
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
_Static_assert(offsetof(Brg40HwInfo, flag2) == 0, "Brg40HwInfo layout");
_Static_assert(offsetof(Brg40HwInfo, flag1) == 1, "Brg40HwInfo layout");
_Static_assert(offsetof(Brg40HwInfo, word) == 2, "Brg40HwInfo layout");
_Static_assert(offsetof(Brg40HwInfo, bits6) == 4, "Brg40HwInfo layout");
_Static_assert(sizeof(Brg40HwInfo) == 6, "Brg40HwInfo layout");
#endif

/** Slave data callback: runs on the library's worker thread with the byte count and a pointer
 *  to the slave receive area (256 data bytes, then 4 status bytes). Its result is ignored. */
typedef int (*Brg40SlaveCallback)(unsigned int count, unsigned char *area);

/* The 29 exports, in ordinal order. */

/** (1) Searches LPT1..LPT9 and opens the first converter. Stores 0, -21 (none, or open failed)
 *  or -22 (a handle from brg40_open is still held) in *status. @returns the handle or NULL. */
Brg40Handle brg40_open(int *status);

/** (2) Opens device number n (LPTn, n from 1 to 9) without search or identity check; several
 *  may be open. Stores 0, or -21 (n outside 1 to 9: nothing is opened; or the open failed) in
 *  *status. @returns the handle or NULL. */
Brg40Handle brg40_open_ex(int number, int *status);

/** (3) Lists the converters: writes the count and up to 9 ascending device numbers (room for 9).
 *  @returns 0, or -21 when none answered (then neither output is written). */
int brg40_find_device(int *count, int *numbers);

/** (4) Closes the handle (NULL and INVALID_HANDLE_VALUE are skipped) and allows brg40_open again.
 *  @returns 0. */
int brg40_close(Brg40Handle handle);

/** (5) Sets the power: sends 0 first, then value (only if the first succeeded). @returns status. */
int brg40_power_control(Brg40Handle handle, unsigned char value);

/** (6) Reads the firmware version. Presets *major and *minor to 0xFF. @returns status. */
int brg40_get_fw_version(Brg40Handle handle, unsigned char *major, unsigned char *minor);

/** (7) Reads this library's version from the version resource of its own module file (the
 *  ProductVersion text "major, minor, ...", both read as hexadecimal); the handle is not used.
 *  Presets both outputs to 0xFF. @returns 0, or -400 without usable version information
 *  (no resource or value, or a text without comma or digits). */
int brg40_get_dll_version(Brg40Handle handle, unsigned char *major, unsigned char *minor);

/** (8) Reads the hardware information; *info is written only on success. @returns status. */
int brg40_get_hw_info(Brg40Handle handle, Brg40HwInfo *info);

/** (9) Sets the LED. @returns status. */
int brg40_led_control(Brg40Handle handle, unsigned char value);

/** (10) Changes the operating mode (low 8 bits sent) with a 16-bit parameter. The bit of value 2
 *  is the slave mode: setting it makes this handle its owner; only the owner's change without it
 *  ends the slave mode. @returns status; -104 if mode AND 7 is 7, -204 if it is 2 (nothing sent). */
int brg40_mode_change(Brg40Handle handle, int mode, unsigned short parameter);

/** (11) As brg40_mode_change, but mode AND 7 == 2 is allowed. @returns status or -104. */
int brg40_mode_change_ex(Brg40Handle handle, int mode, unsigned short parameter);

/** (12) Reads the outputs into a 4-byte buffer. @returns status. */
int brg40_gpo_read(Brg40Handle handle, unsigned char *buffer);

/** (13) Writes the outputs. @returns status. */
int brg40_gpo_write(Brg40Handle handle, unsigned char value);

/** (14) Sets the I2C pull-ups. @returns status. */
int brg40_i2c_pullup(Brg40Handle handle, unsigned char value);

/** (15) Resets the I2C bus. @returns status. */
int brg40_i2c_bus_reset(Brg40Handle handle);

/** (16) Sets the I2C speed: selector 0 = 1000 kHz, 1 = 400 kHz, 2 = 100 kHz.
 *  @returns status; -400 for any other selector (nothing sent, the speed stays). */
int brg40_i2c_set_freq(Brg40Handle handle, unsigned char selector);

/** (17) I2C master read of length bytes into buffer (a length of 1 needs 2 bytes). @returns status. */
int brg40_i2c_read_master(Brg40Handle handle, unsigned short word, unsigned char byte, unsigned short length,
                          unsigned char *buffer);

/** (18) I2C master write of length bytes from buffer. @returns status. */
int brg40_i2c_write_master(Brg40Handle handle, unsigned short word, unsigned char byte, unsigned short length,
                           const unsigned char *buffer);

/** (19) Starts a worker that waits for I2C slave data and delivers one batch: delivery nonzero
 *  posts BRG40_WM_SLAVE_DATA to window, 0 calls callback (if not NULL). Needs the slave mode; the
 *  worker polls every 500 ms until data waits or the owner leaves the slave mode. At most 256
 *  bytes are read per batch (the count delivered is the count read); more stay waiting in the
 *  converter for the next start. A failed command ends the worker without delivery.
 *  @returns 0 at once. */
int brg40_i2c_read_slave(Brg40Handle handle, int delivery, Brg40SlaveCallback callback, void *window);

/** (20) Sets the bytes the converter answers an outside I2C master with. @returns status. */
int brg40_i2c_set_response_data(Brg40Handle handle, unsigned short length, const unsigned char *buffer);

/** (21) Sets the SPI frequency to the largest supported step not above requested (floor 3) and
 *  writes that step to *actual, or 0xFFFF on failure. @returns status. */
int brg40_spi_set_freq(Brg40Handle handle, unsigned char setting, unsigned short requested,
                       unsigned short *actual);

/** (22) SPI master transfer: sends length bytes, then (only if that worked) receives length bytes.
 *  @returns the first nonzero status, else 0. */
int brg40_spi_transmit_master(Brg40Handle handle, unsigned char setting, unsigned short length,
                              const unsigned char *send, unsigned char *receive);

/** (23) As brg40_i2c_read_slave, for the SPI bus. @returns 0 at once. */
int brg40_spi_transmit_slave(Brg40Handle handle, int delivery, Brg40SlaveCallback callback, void *window);

/** (24) Sets the bytes the converter answers an outside SPI master with. @returns status. */
int brg40_spi_set_response_data(Brg40Handle handle, unsigned short length, const unsigned char *buffer);

/** (25) Reads length bytes of the converter's EEPROM. @returns status. */
int brg40_eeprom_read(Brg40Handle handle, unsigned short length, unsigned char *buffer);

/** (26) Writes length bytes to the converter's EEPROM. @returns status. */
int brg40_eeprom_write(Brg40Handle handle, unsigned short length, const unsigned char *buffer);

/** (27) Orders the converter into its firmware-update mode; afterwards only close the handle.
 *  @returns status. */
int brg40_change_firmup_mode(Brg40Handle handle);

/** (28) Reads a debug register into a 2-byte buffer. @returns status. */
int brg40_debug_pic_read(Brg40Handle handle, unsigned char address, unsigned char *buffer);

/** (29) Writes a debug register. @returns status. */
int brg40_debug_pic_write(Brg40Handle handle, unsigned char address, unsigned char value);

#ifdef __cplusplus
}
#endif

#endif /* BRG40FIRMUP_H */
