// Discovery of the update-mode device through its interface class, and the pipe transfers.
#include "update_device.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "device_names.h"

const GUID UpdateInterfaceGuid = {0x6C0F3A9D, 0x2B57, 0x4E18, {0x8D, 0x4C, 0x91, 0xA7, 0xE5, 0xB2, 0xF0, 0x36}};

const char commandPipeName[] = "PIPE00";
const char replyPipeName[] = "PIPE01";

char completeDeviceName[256];
static_assert(sizeof(completeDeviceName) == kDeviceNameSize, "name buffer and name building agree");

// Where the diagnostic lines go (standard output unless a program chose otherwise).
static std::FILE* diagnostics = stdout;

void SetUpdateDeviceDiagnostics(std::FILE* stream) {
    diagnostics = stream;
}

// Diagnostics are flushed at once so that no line is lost when the program ends.
static void Print(const char* format, ...) {
    if (diagnostics == nullptr) {
        return;
    }
    va_list args;
    va_start(args, format);
    std::vfprintf(diagnostics, format, args);
    va_end(args);
    std::fflush(diagnostics);
}

HANDLE OpenInterfaceDevice(HDEVINFO deviceInfo, PSP_DEVICE_INTERFACE_DATA interfaceData, char* name) {
    DWORD required = 0;
    SetupDiGetDeviceInterfaceDetailA(deviceInfo, interfaceData, nullptr, 0, &required, nullptr);
    if (required == 0) {
        return INVALID_HANDLE_VALUE;
    }
    auto* detail = static_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(std::malloc(required));
    if (detail == nullptr) {
        return INVALID_HANDLE_VALUE;
    }
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);  // size of the fixed part only
    if (!SetupDiGetDeviceInterfaceDetailA(deviceInfo, interfaceData, detail, required, &required, nullptr)) {
        std::free(detail);
        return INVALID_HANDLE_VALUE;
    }

    // Kept before the attempt, so that after a failure the buffer names the path last tried.
    CopyInterfacePath(name, kDeviceNameSize, detail->DevicePath);
    Print("Attempting to open %s\n", detail->DevicePath);
    HANDLE device = CreateFileA(detail->DevicePath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE) {
        Print("FAILED to open %s\n", detail->DevicePath);
    }
    std::free(detail);
    return device;
}

HANDLE OpenUpdateDevice(const GUID* interfaceClass, char* name) {
    HDEVINFO deviceInfo = SetupDiGetClassDevsA(interfaceClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (deviceInfo == INVALID_HANDLE_VALUE) {
        return INVALID_HANDLE_VALUE;
    }
    HANDLE device = FirstOpenedInterface(
        [&](DWORD index, SP_DEVICE_INTERFACE_DATA* interfaceData) {
            return SetupDiEnumDeviceInterfaces(deviceInfo, nullptr, interfaceClass, index, interfaceData);
        },
        [&](SP_DEVICE_INTERFACE_DATA* interfaceData) { return OpenInterfaceDevice(deviceInfo, interfaceData, name); });
    SetupDiDestroyDeviceInfoList(deviceInfo);
    return device;
}

std::vector<UpdateInterface> ListOpenableInterfaces(const GUID* interfaceClass) {
    std::vector<UpdateInterface> found;
    HDEVINFO deviceInfo = SetupDiGetClassDevsA(interfaceClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (deviceInfo == INVALID_HANDLE_VALUE) {
        return found;
    }
    // Every interface, where OpenUpdateDevice stops at the first that opens; the walk ends at the
    // first failed enumeration for the same reason as there.
    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA interfaceData = {};
        interfaceData.cbSize = sizeof(interfaceData);
        if (!SetupDiEnumDeviceInterfaces(deviceInfo, nullptr, interfaceClass, index, &interfaceData)) {
            break;
        }
        char name[kDeviceNameSize] = {};
        HANDLE device = OpenInterfaceDevice(deviceInfo, &interfaceData, name);
        if (device == INVALID_HANDLE_VALUE) {
            continue;
        }
        CloseHandle(device);
        UpdateInterface entry;
        entry.path = name;
        // The device behind the interface, for its instance ID (which carries its serial).
        DWORD required = 0;
        SetupDiGetDeviceInterfaceDetailA(deviceInfo, &interfaceData, nullptr, 0, &required, nullptr);
        std::vector<DWORD> buffer(required / sizeof(DWORD) + 1);
        auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(buffer.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        SP_DEVINFO_DATA deviceData = {};
        deviceData.cbSize = sizeof(deviceData);
        char instance[kDeviceNameSize] = {};
        if (required != 0 &&
            SetupDiGetDeviceInterfaceDetailA(deviceInfo, &interfaceData, detail, required, nullptr, &deviceData) &&
            SetupDiGetDeviceInstanceIdA(deviceInfo, &deviceData, instance, sizeof(instance), nullptr)) {
            entry.instanceId = instance;
        }
        found.push_back(entry);
    }
    SetupDiDestroyDeviceInfoList(deviceInfo);
    return found;
}

BOOL GetUsbDeviceFileName(const GUID* interfaceClass, char* name) {
    HANDLE device = OpenUpdateDevice(interfaceClass, name);
    if (device == INVALID_HANDLE_VALUE) {
        return FALSE;
    }
    // The open only proves that the device answers; the pipes are opened by name.
    CloseHandle(device);
    return TRUE;
}

HANDLE OpenUpdatePipe(const char* pipeName) {
    if (!GetUsbDeviceFileName(&UpdateInterfaceGuid, completeDeviceName)) {
        Print("Failed to GetUsbDeviceFileName err - %d\n", static_cast<int>(GetLastError()));
        return INVALID_HANDLE_VALUE;
    }
    return OpenPipeOfInterface(completeDeviceName, pipeName);
}

HANDLE OpenPipeOfInterface(char* name, const char* pipeName) {
    if (!AppendPipeName(name, kDeviceNameSize, pipeName)) {
        Print("Failed to open handle - possibly long filename\n");
        return INVALID_HANDLE_VALUE;
    }
    Print("completeDeviceName = (%s)\n", name);
    // Overlapped, so that a transfer the loader never answers can be timed out and cancelled.
    HANDLE pipe = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) {
        Print("Failed to open (%s) = %d", name, static_cast<int>(GetLastError()));
        return INVALID_HANDLE_VALUE;
    }
    Print("Opened successfully.\n");
    return pipe;
}

BOOL MoveUpdateBlock(HANDLE pipe, void* buffer, DWORD count, bool toDevice, DWORD* transferred, HANDLE event) {
    *transferred = 0;
    OVERLAPPED overlapped = {};
    overlapped.hEvent = event != nullptr ? event : CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (event != nullptr) {
        ResetEvent(event);
    }

    // No count-done variable here: for an overlapped call it is only valid from GetOverlappedResult.
    BOOL done = toDevice ? WriteFile(pipe, buffer, count, nullptr, &overlapped)
                         : ReadFile(pipe, buffer, count, nullptr, &overlapped);
    BOOL completed = FALSE;
    if (done) {
        completed = GetOverlappedResult(pipe, &overlapped, transferred, FALSE);
    } else {
        DWORD error = GetLastError();
        if (error == ERROR_IO_PENDING) {
            if (WaitForSingleObject(overlapped.hEvent, kUpdateTransferTimeoutMs) == WAIT_OBJECT_0) {
                completed = GetOverlappedResult(pipe, &overlapped, transferred, FALSE);
                if (!completed) {
                    Print("Error: %d", static_cast<int>(GetLastError()));
                    *transferred = 0;
                }
                CancelIo(pipe);
            } else {
                CancelIo(pipe);
                // The cancelled request still owns buffer and overlapped until it has finished;
                // what it moved before the cancel does not count.
                DWORD late = 0;
                GetOverlappedResult(pipe, &overlapped, &late, TRUE);
            }
        } else if (error != ERROR_HANDLE_EOF) {
            CancelIo(pipe);
        }
    }

    if (event == nullptr && overlapped.hEvent != nullptr) {
        CloseHandle(overlapped.hEvent);
    }
    return completed;
}

// One transfer: open the pipe, move one block, close the pipe. *transferred: the bytes moved.
static int TransferUpdatePipe(const char* pipeName, void* buffer, DWORD count, bool toDevice, DWORD* transferred) {
    *transferred = 0;
    HANDLE pipe = OpenUpdatePipe(pipeName);
    if (pipe == INVALID_HANDLE_VALUE) {
        return -1;
    }
    MoveUpdateBlock(pipe, buffer, count, toDevice, transferred, nullptr);
    return CloseHandle(pipe);
}

int WriteUpdatePipe(const void* buffer, DWORD count) {
    DWORD unused = 0;
    // WriteFile only reads the buffer; the shared transfer takes it without const.
    return TransferUpdatePipe(commandPipeName, const_cast<void*>(buffer), count, true, &unused);
}

int ReadUpdatePipe(void* buffer, DWORD count, DWORD* received) {
    DWORD unused = 0;
    return TransferUpdatePipe(replyPipeName, buffer, count, false, received != nullptr ? received : &unused);
}
