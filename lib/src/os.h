// The operating-system seam of the library: the only calls the portable core makes outside
// itself. One implementation per system, chosen by the build: os_win32.cpp (Windows) and
// os_linux.cpp (Linux, the SCSI generic driver).
//
// Rules for every implementation:
// - Translate, never decide. No retries, no reading of sense data, no status codes: a failure is
//   handed back as the Windows error number (the GetLastError() value, untouched) and the core
//   turns it into a status.
// - Every buffer passed in belongs to the caller and is used only during the call.
// - Every function may be called from any thread, also from two threads at once on one handle
//   (a slave receive worker polls through the application's handle); implementations keep no
//   state of their own between calls.
#ifndef BRG40_OS_H
#define BRG40_OS_H

#include <cstddef>
#include <cstdint>

#include "command_block.h"

namespace brg40 {

// An opened device: the Windows file handle, pointer-sized (on Linux the descriptor plus one).
// Null means none.
using OsHandle = void*;

// The names the device search tries, in this system's order: candidate `index` (0, 1, ...) is
// written into name (size bytes, terminated). False past the last candidate (or when the name
// does not fit). Windows: "\\.\LPT1" to "\\.\LPT9"; Linux: the SCSI generic nodes /dev/sgN in
// the order of N.
bool os_device_candidate(int index, char* name, size_t size);

// How device numbers name devices. Windows numbers by position: number n is the device "LPTn"
// (the DOS device name rules map it to \\.\LPTn; it is candidate n - 1), converter or not, and
// opening by number opens that name without asking the device anything. Writes the name and
// returns true. Linux has no such names and returns false: there a number is the rank of a
// converter among those the search finds, so opening by number searches and checks identities.
bool os_device_by_number(int number, char* name, size_t size);

// A converter that the system describes without asking it anything (Linux: a SCSI generic node
// whose SCSI device above it has the converter's vendor and model in sysfs, logical unit 0).
struct OsUnit {
    char node[64];     // what os_open_device opens: "/dev/sg2"
    char device[256];  // the SCSI device it belongs to (its sysfs path), to tell it again later
    char serial[64];   // the serial of the USB device it belongs to; "" when none is reported
    char path[64];     // that USB device's port path ("1-2", "1-2.3"); "" when it has none
};

// Writes the converters the system describes into units (room for max), in the system's order
// (Linux: of the node numbers), as one snapshot, and returns how many there are (up to max).
// Returns -1 on a system that describes none this way (Windows: numbers are positions, and a
// device is known only by asking it). Opens nothing; reads only what the system says.
int os_described_units(OsUnit* units, int max);

// After unit.node has been opened: true when it is still the device the snapshot described (node
// numbers are given again when a device is unplugged and another plugged in), false otherwise.
// Linux only; reads only what the system says.
bool os_same_unit(const OsUnit& unit);

// Writes into resolved (size bytes) the node that name stands for, links resolved (Linux: realpath),
// or name itself where there are no links. False when name cannot be resolved.
bool os_resolve_node(const char* name, char* resolved, size_t size);

// Opens the device `name` (an 8-bit text such as "\\.\LPT3" or "LPT3") for reading and writing
// with share mode 0, OPEN_EXISTING, no flags (CreateFileA). Blocks only as long as the open.
// Returns the handle; on failure (CreateFileA gave INVALID_HANDLE_VALUE or null) returns null and
// stores GetLastError() in *error. A device held open elsewhere fails (share mode 0).
OsHandle os_open_device(const char* name, uint32_t* error);

// Closes a handle from os_open_device (CloseHandle). The core never passes null or
// INVALID_HANDLE_VALUE. Returns false when the close failed; the core does not look at it.
bool os_close_device(OsHandle handle);

// One IOCTL_SCSI_PASS_THROUGH_DIRECT request (0x0004D014) with `block` as input and output buffer,
// 96 bytes each way, no overlapped structure. Blocks until the driver completes the request or
// its time-out passes. The data moves straight to or from block->sptd.DataBuffer (the caller's
// buffer). Returns true when DeviceIoControl succeeded; else false, with the GetLastError() value
// read at once in *error (which may be 0: the core decides what that means).
// The driver may have written sense data into block->sense in either case; the block is
// otherwise as the driver left it. A null, closed or foreign handle fails (ERROR_INVALID_HANDLE).
bool os_scsi_pass_through(OsHandle handle, CommandBlock* block, uint32_t* error);

// Starts a thread (normal priority, default stack, running at once) that calls routine(arg) and
// ends when it returns. Does not wait for it. Returns false when no thread could be started;
// the thread's own handle is not kept (nobody waits for it).
using OsThreadRoutine = void (*)(void* arg);
bool os_start_thread(OsThreadRoutine routine, void* arg);

// Suspends the calling thread for about `ms` milliseconds (Sleep).
void os_sleep_ms(uint32_t ms);

// Posts `message` with wparam and lparam to `window` (PostMessageA) and returns without waiting.
// Returns false when posting failed; the core does not look at it.
bool os_post_message(void* window, uint32_t message, uintptr_t wparam, intptr_t lparam);

// True when the system has window messages (Windows). On Linux os_post_message always fails, and
// a slave receive asked to deliver by message is refused before it starts.
bool os_has_window_messages();

// Reads the ProductVersion text ("1, 1, 0, 0") of this library. Windows: its own module file: the file the running code
// was loaded from (not a file of the same name found on the search path), its version
// resource, the first language and code-page pair of its translation table, and the
// "\StringFileInfo\<lang><codepage>\ProductVersion" value of that block. Copies the text,
// terminated, into text (size bytes, cut if longer). Returns false, with text untouched, when
// the module file, the version resource, the translation table or the value is missing or
// cannot be read. Linux has no version resource: the text comes from the library's own version
// constant (version.h), compiled into the same file.
bool os_read_own_product_version(char* text, size_t size);

}  // namespace brg40

#endif
