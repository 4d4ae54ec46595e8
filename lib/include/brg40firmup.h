/** @file brg40firmup.h
 * @brief Public interface of Brg40Firmup_x64.dll, the device access library of the NKV-BRG40M
 *        USB to SPI/I2C converter. Usable from C and C++ (brg40firmup.hpp wraps it for C++17,
 *        brg40firmup_status.h turns statuses into texts).
 *
 * @section brg40_calling Calling order
 * Open a converter (brg40_open, or brg40_find_device then brg40_open_ex), issue operations on the
 * handle, end with brg40_close. The library needs no start-up call. Every function returns a
 * status (the two open functions store it through a pointer): 0 is success, anything else a
 * failure (see @ref brg40_status and brg40_status_text()).
 *
 * @section brg40_buffers Buffers and values
 * - Every data buffer belongs to the caller and is used only during the call (the slave receive
 *   area is the library's: see brg40_i2c_read_slave). The library allocates nothing for its
 *   callers.
 * - Where a parameter is 8 or 16 bits wide, only those low bits of the caller's value are used.
 * - Lengths count bytes, 0 to 65535, one request each. A transfer of length 1 moves 2 bytes:
 *   give such calls a two-byte buffer. Data buffers go to the driver as given: the library does
 *   not check their size, and a buffer shorter than the transfer is overrun.
 * - Outputs that the library fills in itself (status, count and numbers, version bytes, hardware
 *   record, frequency set) may be NULL: nothing is stored there then.
 *
 * @section brg40_status Statuses
 * - 0: success.
 * - Negative: the library's own codes and the converter's error reports (the enum below).
 * - 3 (BRG40_DEVICE_DETAIL): a converter error report with a detail outside the six known ones.
 * - Other positive values: the Windows error number (GetLastError) of a request that failed
 *   without an error report from the converter, passed on unchanged. For example 6
 *   (ERROR_INVALID_HANDLE) for a NULL or closed handle; 31 (ERROR_GEN_FAILURE) when the request
 *   failed and the system gave no error number. Others come from the driver, for example 21
 *   (ERROR_NOT_READY) or 1167 (ERROR_DEVICE_NOT_CONNECTED).
 *
 * "Transport status" below means one of: 0; a converter error report (BRG40_DEVICE_ERROR_1 to
 * BRG40_DEVICE_ERROR_6, BRG40_DEVICE_DETAIL, or BRG40_DEVICE_ERROR for any other report); or a
 * Windows error number.
 *
 * @section brg40_timeouts Time-outs
 * Every device operation is one request to the converter's driver (two for brg40_power_control
 * and brg40_spi_transmit_master), and the call blocks until the request completes. The library
 * gives each request a time-out of 5 seconds, after which the driver ends it; 10 seconds for the
 * EEPROM (brg40_eeprom_read, brg40_eeprom_write), the debug registers (brg40_debug_pic_read,
 * brg40_debug_pic_write) and the switch to update mode (brg40_change_firmup_mode). A request
 * that runs out of time fails with the driver's error (a Windows error number or a converter
 * error report). No call retries or waits on its own. The device search of brg40_open and
 * brg40_find_device sends one INQUIRY (5 seconds at most) to each of LPT1 to LPT9 that opens.
 * brg40_open_ex, brg40_close and brg40_get_dll_version send no request.
 *
 * @section brg40_threads Threads
 * The library takes no locks; it starts no thread except the slave receive workers.
 * - Calls on different handles may run on different threads at once.
 * - Two threads may call on one handle at once; each call sends its own requests and the driver
 *   interleaves them (the library does not serialise them). Give each command sequence that must
 *   stay together (for example a write and the read that answers it) to one thread.
 * - brg40_open and brg40_close share the single-open flag without a lock: call them from one
 *   thread at a time. Two device searches (brg40_open, brg40_find_device) at once may miss a
 *   converter that the other search holds open for a moment.
 * - The mode changes record which handle owns the slave mode: make them from one thread at a
 *   time.
 * - A slave receive worker (brg40_i2c_read_slave, brg40_spi_transmit_slave) runs on its own
 *   thread and uses the caller's handle meanwhile: one status request every 500 ms, then one data
 *   request. The application may keep using that handle. The callback runs on the worker
 *   thread; a window message is handled on the window's thread. Both buses share one receive
 *   area.
 * - The library stays loaded until its last worker has ended, even after FreeLibrary (Windows).
 *
 * @section brg40_linux Linux (libbrg40firmup.so)
 * The same 29 functions and statuses. Where Linux differs:
 * - Devices: the converter in normal mode is a SCSI generic node /dev/sgN. Each request is
 *   written to the node (an sg_io_hdr with the same commands, directions, lengths and time-outs)
 *   and its reply read back by its pack_id, so that requests of two threads on one handle never
 *   take each other's replies. A converter is known by what sysfs says of the SCSI device above
 *   its node (vendor and model, logical unit 0), without opening or asking it; no other device
 *   receives anything.
 * - Signals: a signal that arrives while a call waits for its reply interrupts only the wait,
 *   which starts again: the request is never sent twice, and the call's status is the
 *   request's, whether the signal's handler was installed with SA_RESTART or not. Slave receive
 *   workers run, and call the callback, with every signal blocked, so that the application's
 *   signals go to its own threads.
 * - Numbers: 1 to 9 are those converters, counted in the order of their sg numbers (on Windows a
 *   number is the LPT number). Whether a converter can be opened now (another program may hold
 *   it) never moves a number; unplugging one renumbers those after it. brg40_find_device lists,
 *   with those numbers, the converters that can be opened now, and brg40_open takes the first.
 * - brg40_open_ex(n) opens exactly the n-th converter, or fails with -21; it never opens another
 *   one in its place, and it makes sure that the node still is that converter. On Windows it
 *   opens LPTn without asking it anything.
 * - brg40_list_devices names each converter also by the serial and port path of the USB device
 *   it belongs to, and brg40_open_device opens one by them (or by its node, or a link to it such
 *   as the udev rule's /dev/brg40/by-id/...).
 * - Exclusive open: a node is opened with O_EXCL (and O_NONBLOCK, so that a node held elsewhere
 *   fails at once with status 32 instead of waiting); it keeps its number meanwhile. Read and
 *   write access to the node is needed: the udev rule shipped with the library gives it to the
 *   logged-in user.
 * - Errors of the system calls: a failed open, request or reply reports its errno as the Windows
 *   error number of the same meaning: ENOTTY, ENOSYS: 1 (ENOTTY also for a handle whose
 *   descriptor is no SCSI generic node: nothing is written to it); ENOENT: 2; EACCES, EPERM: 5;
 *   EBADF: 6; ENOMEM: 8; EBUSY: 32; EOPNOTSUPP: 50; EINVAL: 87; ENOSPC: 112; ETIMEDOUT: 121;
 *   EAGAIN, EDOM (the node has as many requests queued as it takes): 170; EFAULT: 998; EIO: 1117;
 *   ENODEV, ENXIO: 1167; any other errno: 31.
 * - Errors of the transport: a request that the driver completed reports the status of the host
 *   adapter first (host_status, the kernel's DID_ values): DID_NO_CONNECT (the converter went
 *   away): 1167; DID_BUS_BUSY: 170; DID_TIME_OUT (the request's time-out passed): 121; any other
 *   (DID_BAD_TARGET, DID_ABORT, DID_PARITY, DID_ERROR, DID_RESET, DID_BAD_INTR, DID_PASSTHROUGH,
 *   DID_SOFT_ERROR, DID_IMM_RETRY, DID_REQUEUE, DID_TRANSPORT_DISRUPTED, DID_TRANSPORT_FAILFAST,
 *   0x10 to 0x13 of older kernels, DID_TRANSPORT_MARGINAL, and values the kernel does not name):
 *   1117. With DID_OK, the driver's status (driver_status; its low four bits, the DRIVER_ value;
 *   the high four, a suggestion of older kernels, are ignored): DRIVER_TIMEOUT: 121; DRIVER_BUSY,
 *   DRIVER_SOFT, DRIVER_MEDIA, DRIVER_ERROR, DRIVER_INVALID, DRIVER_HARD and values the kernel
 *   does not name: 1117. With DRIVER_OK or DRIVER_SENSE, the SCSI status: GOOD is success; CHECK
 *   CONDITION with sense data is the converter's error report; any other status (CHECK CONDITION
 *   without sense data, BUSY and the like): 1117. Sense data are read exactly as on Windows:
 *   where a failed request brought sense data, they decide its status.
 * - Slave receive: delivery by window message (delivery nonzero) does not exist; the call
 *   returns 50 (ERROR_NOT_SUPPORTED) and starts nothing. Delivery by callback works as on
 *   Windows, on a POSIX thread. Keep the handle open until a worker has ended (leave the slave
 *   mode, then wait 600 ms): Linux soon gives a closed descriptor's number to another file, and a
 *   worker's last request would reach that file if it is a SCSI generic node (the Python package
 *   waits by itself). Unloading the library (dlclose) while a worker runs is not supported
 *   either.
 * - brg40_get_dll_version reads the library's own version constant (there is no version
 *   resource).
 */
#ifndef BRG40FIRMUP_H
#define BRG40FIRMUP_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/** Device handle: the opened converter, pointer-sized and opaque; NULL means no device.
 *  It belongs to the caller, who ends it with brg40_close. */
typedef void* Brg40Handle;

/** Status codes of the library and of the converter's error reports. Positive values other
 *  than BRG40_DEVICE_DETAIL are Windows error numbers (GetLastError) of a request that failed
 *  without an error report, passed on unchanged (see @ref brg40_status). */
enum {
    BRG40_OK = 0,                    /**< success */
    BRG40_NO_DEVICE = -21,           /**< no converter answered the search, or the open failed */
    BRG40_ALREADY_OPEN = -22,        /**< brg40_open: a device opened by brg40_open is still held */
    BRG40_AMBIGUOUS = -23,           /**< brg40_open_device: the selector names more than one converter */
    BRG40_BAD_MODE = -104,           /**< mode change: the low three mode bits are all set */
    BRG40_SLAVE_MODE_EX_ONLY = -204, /**< brg40_mode_change: the low three mode bits are exactly 2 */
    BRG40_DEVICE_ERROR = -400,       /**< converter error other than the six details; or no usable library version */
    BRG40_DEVICE_ERROR_1 = -11,      /**< converter error, sense key 3, code 0x80, qualifier 1 */
    BRG40_DEVICE_ERROR_2 = -6,       /**< converter error, qualifier 2 */
    BRG40_DEVICE_ERROR_3 = -108,     /**< converter error, qualifier 3 */
    BRG40_DEVICE_ERROR_4 = -109,     /**< converter error, qualifier 4 */
    BRG40_DEVICE_ERROR_5 = -110,     /**< converter error, qualifier 5 */
    BRG40_DEVICE_ERROR_6 = -207,     /**< converter error, qualifier 6 */
    BRG40_DEVICE_DETAIL = 3          /**< converter error, sense key 3, code 0x80, qualifier outside 1 to 6 */
};

/** The Windows error numbers that a status carries when a request or an open failed without an
 *  error report from the converter (the ERROR_ values of winerror.h; on Linux the errno of the
 *  same meaning becomes one of them, see @ref brg40_linux). */
enum {
    BRG40_ERROR_INVALID_FUNCTION = 1,       /**< the device is not a converter's driver */
    BRG40_ERROR_FILE_NOT_FOUND = 2,         /**< no such device */
    BRG40_ERROR_ACCESS_DENIED = 5,          /**< the user may not open the device */
    BRG40_ERROR_INVALID_HANDLE = 6,         /**< NULL, closed or foreign handle */
    BRG40_ERROR_NOT_ENOUGH_MEMORY = 8,      /**< the system had no memory for the request */
    BRG40_ERROR_NOT_READY = 21,             /**< the device is not ready */
    BRG40_ERROR_GEN_FAILURE = 31,           /**< the request failed without a reason */
    BRG40_ERROR_SHARING_VIOLATION = 32,     /**< another program holds the device open */
    BRG40_ERROR_NOT_SUPPORTED = 50,         /**< the request is not supported */
    BRG40_ERROR_INVALID_PARAMETER = 87,     /**< the driver refused the request's parameters */
    BRG40_ERROR_DISK_FULL = 112,            /**< no room on the device */
    BRG40_ERROR_SEM_TIMEOUT = 121,          /**< the request's time-out passed */
    BRG40_ERROR_BUSY = 170,                 /**< the driver has no room for the request now */
    BRG40_ERROR_NOACCESS = 998,             /**< a buffer the system cannot reach */
    BRG40_ERROR_IO_DEVICE = 1117,           /**< any other adapter or driver failure */
    BRG40_ERROR_DEVICE_NOT_CONNECTED = 1167 /**< the converter was unplugged */
};

/** Window message posted by the slave receive operations with delivery choice nonzero:
 *  wParam = byte count (1 to 256), lParam = pointer to the slave receive area. */
#define BRG40_WM_SLAVE_DATA 0x9F3A

/** Size of the data part of the slave receive area; 4 status bytes follow it. */
#define BRG40_SLAVE_AREA_DATA 256

/** Hardware information, filled by brg40_get_hw_info. Bits keep their positions. */
typedef struct Brg40HwInfo {
    unsigned char flag2; /**< offset 0: reply byte 0 AND 0x02 (0 or 2) */
    unsigned char flag1; /**< offset 1: reply byte 0 AND 0x01 (0 or 1) */
    unsigned short word; /**< offset 2: reply bytes 1 (high) and 2 (low), host order */
    unsigned char bits6; /**< offset 4: reply byte 6 AND 0x06 (0, 2, 4 or 6) */
} Brg40HwInfo;

/** @cond BRG40_LAYOUT_CHECKS */
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
/** @endcond */

/** Slave data callback of brg40_i2c_read_slave and brg40_spi_transmit_slave. It runs on the
 *  library's worker thread, once per start, and carries no user pointer.
 *  @param count  bytes received, 1 to 256.
 *  @param area   the library's slave receive area: BRG40_SLAVE_AREA_DATA (256) data bytes, then
 *                4 status bytes from the converter. Shared by both buses and overwritten by the
 *                next delivery: copy what you need before starting another receive.
 *  @returns anything; the library ignores it. */
typedef int (*Brg40SlaveCallback)(unsigned int count, unsigned char* area);

/* The 29 exports, in ordinal order. */

/** (1) Searches LPT1 to LPT9 and opens the first converter (lowest number). Only one handle
 *  from brg40_open may be held at a time; brg40_open_ex has no such limit.
 *  Time: one INQUIRY (5 s at most) per device number that opens.
 *  @param[out] status  0; BRG40_NO_DEVICE (-21) when no converter answered or the open failed
 *                      (the Windows error is not passed on); BRG40_ALREADY_OPEN (-22) when a
 *                      handle from brg40_open is still held (nothing is searched). May be NULL.
 *  @returns the handle, or NULL on failure. */
Brg40Handle brg40_open(int* status);

/** (2) Opens device number n (LPTn) without search or identity check; several may be open at
 *  once. Sends no request.
 *  @param number       the device number, 1 to 9 (as listed by brg40_find_device).
 *  @param[out] status  0; or BRG40_NO_DEVICE (-21) when number is outside 1 to 9 (nothing is
 *                      opened) or the open failed (the device is absent or held open elsewhere).
 *                      May be NULL.
 *  @returns the handle, or NULL on failure. */
Brg40Handle brg40_open_ex(int number, int* status);

/** (3) Lists the converters attached (the device search of brg40_open; it opens and closes each
 *  number in turn, so a converter held open elsewhere is not listed).
 *  Time: one INQUIRY (5 s at most) per device number that opens.
 *  @param[out] count    the number of converters found, 1 to 9. May be NULL.
 *  @param[out] numbers  room for 9 ints: the device numbers found, ascending. May be NULL.
 *  @retval 0                success.
 *  @retval BRG40_NO_DEVICE  (-21) no converter answered; neither output is written. */
int brg40_find_device(int* count, int* numbers);

/** (4) Closes the handle and allows brg40_open again (whatever handle is given). Sends no
 *  request; a slave receive worker still using the handle fails at its next request and ends.
 *  @param handle  from brg40_open or brg40_open_ex; NULL and INVALID_HANDLE_VALUE are skipped.
 *  @returns 0. */
int brg40_close(Brg40Handle handle);

/** (5) Sets the power: sends 0 first, then value (only if the first succeeded). Time: 2 x 5 s.
 *  @param handle  an open converter.
 *  @param value   power value (its meaning lies in the converter's firmware).
 *  @returns a transport status (the first failure). */
int brg40_power_control(Brg40Handle handle, unsigned char value);

/** (6) Reads the firmware version. Time: 5 s.
 *  @param handle      an open converter.
 *  @param[out] major  major version; set to 0xFF first, so it stays 0xFF on failure. May be NULL.
 *  @param[out] minor  minor version, shown as "%X.%02X" with major; 0xFF on failure. May be NULL.
 *  @returns a transport status. */
int brg40_get_fw_version(Brg40Handle handle, unsigned char* major, unsigned char* minor);

/** (7) Reads this library's version from the version resource of its own module file (the
 *  ProductVersion text "major, minor, ...", both read as hexadecimal). Needs no converter and
 *  sends no request.
 *  @param handle      not used (may be NULL).
 *  @param[out] major  major version; 0xFF on failure. May be NULL.
 *  @param[out] minor  minor version; 0xFF on failure. May be NULL.
 *  @retval 0                   success.
 *  @retval BRG40_DEVICE_ERROR  (-400) no usable version information (no resource or value, or a
 *                              text without comma or digits). */
int brg40_get_dll_version(Brg40Handle handle, unsigned char* major, unsigned char* minor);

/** (8) Reads the hardware information. Time: 5 s.
 *  @param handle     an open converter.
 *  @param[out] info  written only on success. May be NULL.
 *  @returns a transport status. */
int brg40_get_hw_info(Brg40Handle handle, Brg40HwInfo* info);

/** (9) Sets the LED. Time: 5 s.
 *  @param handle  an open converter.
 *  @param value   LED value (its meaning lies in the converter's firmware).
 *  @returns a transport status. */
int brg40_led_control(Brg40Handle handle, unsigned char value);

/** (10) Changes the operating mode. The bit of value 2 is the slave mode: setting it makes this
 *  handle its owner; only the owner's change without it ends the slave mode (running slave
 *  workers then end within 500 ms). This function refuses mode AND 7 == 2 (use
 *  brg40_mode_change_ex). Time: 5 s.
 *  @param handle     an open converter.
 *  @param mode       the mode; its low 8 bits are sent.
 *  @param parameter  16-bit mode parameter, sent high byte first.
 *  @retval BRG40_BAD_MODE            (-104) mode AND 7 is 7; nothing is sent.
 *  @retval BRG40_SLAVE_MODE_EX_ONLY  (-204) mode AND 7 is 2; nothing is sent.
 *  @returns otherwise a transport status; the slave-mode owner changes only on 0. */
int brg40_mode_change(Brg40Handle handle, int mode, unsigned short parameter);

/** (11) As brg40_mode_change, but mode AND 7 == 2 is allowed. Time: 5 s.
 *  @param handle     an open converter.
 *  @param mode       the mode; its low 8 bits are sent.
 *  @param parameter  16-bit mode parameter.
 *  @retval BRG40_BAD_MODE  (-104) mode AND 7 is 7; nothing is sent.
 *  @returns otherwise a transport status. */
int brg40_mode_change_ex(Brg40Handle handle, int mode, unsigned short parameter);

/** (12) Reads the outputs. Time: 5 s.
 *  @param handle       an open converter.
 *  @param[out] buffer  4 bytes.
 *  @returns a transport status. */
int brg40_gpo_read(Brg40Handle handle, unsigned char* buffer);

/** (13) Writes the outputs. Time: 5 s.
 *  @param handle  an open converter.
 *  @param value   the output bits.
 *  @returns a transport status. */
int brg40_gpo_write(Brg40Handle handle, unsigned char value);

/** (14) Sets the I2C pull-ups. Time: 5 s.
 *  @param handle  an open converter.
 *  @param value   pull-up setting (its meaning lies in the converter's firmware).
 *  @returns a transport status. */
int brg40_i2c_pullup(Brg40Handle handle, unsigned char value);

/** (15) Resets the I2C bus. Time: 5 s.
 *  @param handle  an open converter.
 *  @returns a transport status. */
int brg40_i2c_bus_reset(Brg40Handle handle);

/** (16) Sets the I2C speed. Time: 5 s.
 *  @param handle    an open converter.
 *  @param selector  0 = 1000 kHz, 1 = 400 kHz, 2 = 100 kHz.
 *  @retval BRG40_DEVICE_ERROR  (-400) any other selector: nothing is sent, the speed stays.
 *  @returns otherwise a transport status. */
int brg40_i2c_set_freq(Brg40Handle handle, unsigned char selector);

/** (17) I2C master read. Time: 5 s.
 *  @param handle       an open converter.
 *  @param word         16-bit target word, sent high byte first (its meaning lies in the
 *                      converter's firmware).
 *  @param byte         8-bit target byte (likewise).
 *  @param length       bytes to read, 0 to 65535.
 *  @param[out] buffer  length bytes (2 when length is 1).
 *  @returns a transport status; on failure buffer holds whatever the driver left. */
int brg40_i2c_read_master(Brg40Handle handle,
                          unsigned short word,
                          unsigned char byte,
                          unsigned short length,
                          unsigned char* buffer);

/** (18) I2C master write. Time: 5 s.
 *  @param handle  an open converter.
 *  @param word    16-bit target word, as for brg40_i2c_read_master.
 *  @param byte    8-bit target byte.
 *  @param length  bytes to write, 0 to 65535.
 *  @param buffer  length bytes (2 readable bytes when length is 1).
 *  @returns a transport status. */
int brg40_i2c_write_master(Brg40Handle handle,
                           unsigned short word,
                           unsigned char byte,
                           unsigned short length,
                           const unsigned char* buffer);

/** (19) Starts a worker thread that waits for I2C slave data (from an outside master) and
 *  delivers one batch, then ends. Needs the slave mode (mode bit 2, brg40_mode_change_ex) set
 *  first, else the worker ends at once. The worker polls the converter every 500 ms on this
 *  handle (a status request, 5 s at most each) until data waits or the owner leaves the slave
 *  mode; it has no time-out of its own. It reads at most 256 bytes per batch (the count
 *  delivered is the count read); more stay waiting in the converter for the next start. A
 *  failed request ends the worker without delivery or report. To receive again, start again
 *  (for example from the callback). A second start on the same bus while a worker runs starts a
 *  second worker; both use the one receive area.
 *  @param handle    an open converter in slave mode; it must stay open while the worker runs.
 *  @param delivery  nonzero: post BRG40_WM_SLAVE_DATA to window; 0: call callback.
 *  @param callback  called on the worker thread (delivery 0); NULL: the batch is read and dropped.
 *  @param window    an HWND receiving the message (delivery nonzero); handled on its own thread.
 *  @returns 0 at once (also when no thread could be started); on Linux 50 for delivery by
 *           window message, with nothing started. */
int brg40_i2c_read_slave(Brg40Handle handle, int delivery, Brg40SlaveCallback callback, void* window);

/** (20) Sets the bytes the converter answers an outside I2C master with. Time: 5 s.
 *  @param handle  an open converter.
 *  @param length  bytes, 0 to 65535.
 *  @param buffer  length bytes (2 readable bytes when length is 1).
 *  @returns a transport status. */
int brg40_i2c_set_response_data(Brg40Handle handle, unsigned short length, const unsigned char* buffer);

/** (21) Sets the SPI clock to the largest supported step not above requested: 12000, 3000, 750,
 *  500, 250, 100, 50, 30, 10, or 3 as the floor, in the unit of the converter's firmware.
 *  Time: 5 s.
 *  @param handle       an open converter.
 *  @param setting      SPI setting byte (its meaning lies in the converter's firmware).
 *  @param requested    requested frequency, 0 to 65535.
 *  @param[out] actual  the step set, or 0xFFFF on failure. May be NULL.
 *  @returns a transport status. */
int brg40_spi_set_freq(Brg40Handle handle, unsigned char setting, unsigned short requested, unsigned short* actual);

/** (22) SPI master transfer: sends length bytes, then (only if that worked) receives length
 *  bytes. Time: 2 x 5 s.
 *  @param handle        an open converter.
 *  @param setting       SPI setting byte.
 *  @param length        bytes each way, 0 to 65535.
 *  @param send          length bytes (2 readable bytes when length is 1).
 *  @param[out] receive  length bytes (2 when length is 1); untouched when the send failed.
 *  @returns the first failing transport status, else 0. */
int brg40_spi_transmit_master(Brg40Handle handle,
                              unsigned char setting,
                              unsigned short length,
                              const unsigned char* send,
                              unsigned char* receive);

/** (23) As brg40_i2c_read_slave, for the SPI bus.
 *  @param handle    an open converter in slave mode.
 *  @param delivery  nonzero: post BRG40_WM_SLAVE_DATA to window; 0: call callback.
 *  @param callback  called on the worker thread (delivery 0), or NULL.
 *  @param window    an HWND receiving the message (delivery nonzero).
 *  @returns 0 at once; on Linux 50 for delivery by window message, with nothing started. */
int brg40_spi_transmit_slave(Brg40Handle handle, int delivery, Brg40SlaveCallback callback, void* window);

/** (24) Sets the bytes the converter answers an outside SPI master with. Time: 5 s.
 *  @param handle  an open converter.
 *  @param length  bytes, 0 to 65535.
 *  @param buffer  length bytes (2 readable bytes when length is 1).
 *  @returns a transport status. */
int brg40_spi_set_response_data(Brg40Handle handle, unsigned short length, const unsigned char* buffer);

/** (25) Reads the converter's EEPROM from its start (there is no address). Time: 10 s.
 *  @param handle       an open converter.
 *  @param length       bytes, 0 to 65535 (at most what the converter's EEPROM holds).
 *  @param[out] buffer  length bytes (2 when length is 1).
 *  @returns a transport status. */
int brg40_eeprom_read(Brg40Handle handle, unsigned short length, unsigned char* buffer);

/** (26) Writes the converter's EEPROM from its start. Time: 10 s.
 *  @param handle  an open converter.
 *  @param length  bytes, 0 to 65535.
 *  @param buffer  length bytes (2 readable bytes when length is 1).
 *  @returns a transport status. */
int brg40_eeprom_write(Brg40Handle handle, unsigned short length, const unsigned char* buffer);

/** (27) Orders the converter into its firmware-update mode: it leaves the bus and comes back as
 *  another USB device that this library does not serve; afterwards only close the handle.
 *  Time: 10 s.
 *  @param handle  an open converter.
 *  @returns a transport status. */
int brg40_change_firmup_mode(Brg40Handle handle);

/** (28) Reads a debug register. Time: 10 s.
 *  @param handle       an open converter.
 *  @param address      8-bit register address.
 *  @param[out] buffer  2 bytes.
 *  @returns a transport status. */
int brg40_debug_pic_read(Brg40Handle handle, unsigned char address, unsigned char* buffer);

/** (29) Writes a debug register. Time: 10 s.
 *  @param handle   an open converter.
 *  @param address  8-bit register address.
 *  @param value    the byte to write.
 *  @returns a transport status. */
int brg40_debug_pic_write(Brg40Handle handle, unsigned char address, unsigned char value);

/* Additions after the 29, with the next ordinals. */

/** Room for the texts of a Brg40DeviceInfo, terminator included. */
#define BRG40_DEVICE_TEXT_SIZE 64

/** A converter present now, as brg40_list_devices describes it. */
typedef struct Brg40DeviceInfo {
    int number;                          /**< 1 to 9: its number for brg40_open_ex and brg40_find_device */
    int open_status;                     /**< 0 when it can be opened now; else the Windows error of the open:
                                              32 (held by another program, "busy") or 5 (no permission, "denied") */
    char node[BRG40_DEVICE_TEXT_SIZE];   /**< the device it is opened as: "/dev/sg2"; "LPT3" on Windows */
    char serial[BRG40_DEVICE_TEXT_SIZE]; /**< its USB serial number; "" when it reports none or the
                                              system does not say (Windows) */
    char path[BRG40_DEVICE_TEXT_SIZE];   /**< its USB port path ("1-2", "1-2.3"); "" when the system
                                              does not say (Windows) */
} Brg40DeviceInfo;

/** (30) Lists the converters present with their numbers and identities, whether or not they can
 *  be opened now. Linux: the converters are the SCSI generic nodes whose SCSI device the system
 *  describes as the converter (vendor and model), counted in the order of their nodes, so that a
 *  converter held by another program keeps its number; nothing is sent to them. Windows: LPT1 to
 *  LPT9, each that opens asked INQUIRY (5 s at most); one that is held elsewhere (32) or denied
 *  (5) is listed with that status, as it cannot be asked.
 *  @param[out] devices  room for capacity entries, filled in number order. May be NULL with
 *                       capacity 0 (count only).
 *  @param capacity      entries the array holds.
 *  @param[out] count    how many converters are present (also beyond capacity). May be NULL.
 *  @returns 0; BRG40_NO_DEVICE (-21) when none is present (count 0). */
int brg40_list_devices(Brg40DeviceInfo* devices, int capacity, int* count);

/** (31) Opens the converter that a selector names: "N" (its number, 1 to 9), "serial:S" (its USB
 *  serial, case-insensitive), "path:P" (its USB port path, "1-2.3"), or a device (Linux: its node
 *  "/dev/sgN" or a link to it, such as "/dev/brg40/by-id/..."; Windows: "LPTn"). The converter
 *  opened is exactly the one named; no other is tried in its place. Several may be open at once.
 *  @param selector     the text; not NULL.
 *  @param[out] status  0; BRG40_NO_DEVICE (-21) when no converter present matches, or the open
 *                      failed; BRG40_AMBIGUOUS (-23) when several match (none is opened); 87
 *                      (ERROR_INVALID_PARAMETER) for a selector of none of these forms. May be
 *                      NULL.
 *  @returns the handle (close it with brg40_close), or NULL on failure. */
Brg40Handle brg40_open_device(const char* selector, int* status);

#ifdef __cplusplus
}
#endif

#endif /* BRG40FIRMUP_H */
