// Discovery of the converter in firmware-update mode and the two pipe transfers to its loader:
// every transfer finds the device through its interface class, opens one pipe, moves one block.
#ifndef BRG40_UPDATE_DEVICE_H
#define BRG40_UPDATE_DEVICE_H

#include <windows.h>
#include <setupapi.h>

#include <cstdio>
#include <string>
#include <vector>

// Device-interface class under which the update-mode driver exposes the converter.
extern const GUID UpdateInterfaceGuid;

// Command pipe (host to loader) and reply pipe (loader to host), below the interface path.
extern const char commandPipeName[];  // "PIPE00"
extern const char replyPipeName[];    // "PIPE01"

// Interface path of the device found last, then "\" and the pipe name. Rebuilt by every transfer;
// not reentrant: transfers run on one thread.
extern char completeDeviceName[256];

// Sends count bytes from buffer on the command pipe. -1 when the pipe did not open (nothing sent);
// otherwise the result of closing the pipe, which does not tell whether the bytes arrived.
int WriteUpdatePipe(const void* buffer, DWORD count);

// Reads the loader's next reply, up to count bytes, into buffer. -1 when the pipe did not open
// (buffer untouched); otherwise the result of closing the pipe. Bytes not delivered keep what the
// caller left there, and a loader that stays silent for 1000 ms is given up on. *received, when
// given, is the count of bytes that came (0 when none).
int ReadUpdatePipe(void* buffer, DWORD count, DWORD* received = nullptr);

// Moves one block over a pipe opened by OpenUpdatePipe, giving up after 1000 ms. True when the
// transfer completed; transferred then holds its byte count (0 otherwise). The pipe stays open.
// event: a manual-reset event the caller keeps for its transfers, or null for one made each time.
BOOL MoveUpdateBlock(HANDLE pipe, void* buffer, DWORD count, bool toDevice, DWORD* transferred, HANDLE event);

// Where the diagnostic lines of these routines go: standard output at start; null: nowhere.
void SetUpdateDeviceDiagnostics(std::FILE* stream);

// Finds the device and opens "<interface path>\<pipeName>" for overlapped transfers, or returns
// INVALID_HANDLE_VALUE after printing why.
HANDLE OpenUpdatePipe(const char* pipeName);

// Opens the pipe pipeName below the interface path in name (kDeviceNameSize characters): name
// then holds "<interface path>\<pipeName>". INVALID_HANDLE_VALUE after printing why.
HANDLE OpenPipeOfInterface(char* name, const char* pipeName);

// A present interface of interfaceClass that opens: its path and its device's instance ID.
struct UpdateInterface {
    std::string path;
    std::string instanceId;
};
std::vector<UpdateInterface> ListOpenableInterfaces(const GUID* interfaceClass);

// True when an interface of interfaceClass opened; its path is then in name (256 characters).
BOOL GetUsbDeviceFileName(const GUID* interfaceClass, char* name);

// Handle on the first present interface of interfaceClass that opens, or INVALID_HANDLE_VALUE.
HANDLE OpenUpdateDevice(const GUID* interfaceClass, char* name);

// The walk of OpenUpdateDevice over one set of interfaces: enumerate(index, record) for index 0, 1,
// 2, ... and open(record) on each one enumerated, until one opens. The walk ends at the first
// failed enumeration, whatever its error: ERROR_NO_MORE_ITEMS ends the list, and any other error
// would only come again for the next index, so going on could loop for ever.
template <class Enumerate, class Open>
HANDLE FirstOpenedInterface(Enumerate enumerate, Open open) {
    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA interfaceData = {};
        interfaceData.cbSize = sizeof(interfaceData);
        if (!enumerate(index, &interfaceData)) {
            return INVALID_HANDLE_VALUE;
        }
        HANDLE device = open(&interfaceData);
        if (device != INVALID_HANDLE_VALUE) {
            return device;  // the first interface that opens is the device
        }
    }
}

// Handle on the path of one enumerated interface, or INVALID_HANDLE_VALUE. The path tried is left in
// name (cut at 255 characters, which no pipe name then fits behind).
HANDLE OpenInterfaceDevice(HDEVINFO deviceInfo, PSP_DEVICE_INTERFACE_DATA interfaceData, char* name);

#endif
