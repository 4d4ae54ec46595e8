// The update-mode seam on Windows: kept-open pipes over the update-mode device routines.
#include "update_link.h"

#include <windows.h>

#include <chrono>
#include <thread>

#include "device_names.h"
#include "driver_install.h"
#include "kept_pipes.h"
#include "program_data_store.h"
#include "update_device.h"

std::unique_ptr<UpdatePipe> MakeUpdateLink() {
    return std::unique_ptr<UpdatePipe>(new KeptPipes);
}

std::unique_ptr<PreservedStore> MakePreservedStore() {
    return std::unique_ptr<PreservedStore>(new ProgramDataStore);
}

std::vector<std::string> ListUpdateDevices() {
    char name[kDeviceNameSize] = {};
    if (!GetUsbDeviceFileName(&UpdateInterfaceGuid, name)) {
        return {};
    }
    return {name};
}

bool WaitForUpdateDevice(double seconds, const std::function<bool()>& stop) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    char name[kDeviceNameSize];
    for (;;) {
        if (GetUsbDeviceFileName(&UpdateInterfaceGuid, name)) {
            return true;
        }
        if (stop() || std::chrono::steady_clock::now() >= limit) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

bool InstallUpdateDriverIfBeside() {
    char programPath[kInstallPathSize] = {};
    char infPath[kInstallPathSize];
    const DWORD length = GetModuleFileNameA(nullptr, programPath, sizeof(programPath));
    if (length == 0 || length >= sizeof(programPath) || !MakeInfPath(programPath, infPath, sizeof(infPath)) ||
        GetFileAttributesA(infPath) == INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    InstallUpdateDriverBesideProgram();
    return true;
}

void ShowDeviceDiagnostics(bool shown) {
    SetUpdateDeviceDiagnostics(shown ? stderr : nullptr);
}
