// Update-mode driver installation through a temporary device node, and the preparation of its inputs.
#include "driver_install.h"

#include <setupapi.h>

#include "device_names.h"

namespace {

using UpdateDriverFn = BOOL(WINAPI*)(HWND, LPCSTR, LPCSTR, DWORD, PBOOL);

// UpdateDriverForPlugAndPlayDevicesA, bound at run time from the system folder. newdev.dll is not
// one of the system's known DLLs: imported at load time it would be looked for in the program's
// folder first, and the tool runs with administrator rights, often from a downloads folder where
// anything may lie beside it.
class NewDevApi {
public:
    NewDevApi() : m_module(LoadLibraryExA("newdev.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        if (m_module != nullptr) {
            m_update = reinterpret_cast<UpdateDriverFn>(
                reinterpret_cast<void*>(GetProcAddress(m_module, "UpdateDriverForPlugAndPlayDevicesA")));
        }
    }
    ~NewDevApi() {
        if (m_module != nullptr) {
            FreeLibrary(m_module);
        }
    }
    NewDevApi(const NewDevApi&) = delete;
    NewDevApi& operator=(const NewDevApi&) = delete;

    UpdateDriverFn update() const { return m_update; }

private:
    HMODULE m_module;
    UpdateDriverFn m_update = nullptr;
};

}  // namespace

BOOL InstallUpdateDriver(const char* hardwareIds, const char* infPath, BOOL* rebootRequired) {
    GUID classGuid;
    char className[128];
    if (!SetupDiGetINFClassA(infPath, &classGuid, className, sizeof(className), nullptr)) {
        return FALSE;
    }
    HDEVINFO deviceInfo = SetupDiCreateDeviceInfoList(&classGuid, nullptr);
    if (deviceInfo == INVALID_HANDLE_VALUE) {
        return FALSE;
    }

    SP_DEVINFO_DATA deviceData = {};
    deviceData.cbSize = sizeof(deviceData);
    if (SetupDiCreateDeviceInfoA(deviceInfo, className, &classGuid, nullptr, nullptr, DICD_GENERATE_ID, &deviceData) &&
        // The list's length: the one ID, its zero and the zero that ends the list.
        SetupDiSetDeviceRegistryPropertyA(deviceInfo, &deviceData, SPDRP_HARDWAREID,
                                          reinterpret_cast<const BYTE*>(hardwareIds),
                                          static_cast<DWORD>(lstrlenA(hardwareIds) + 2)) &&
        SetupDiCallClassInstaller(DIF_REGISTERDEVICE, deviceInfo, &deviceData)) {
        // Installs on every node with the ID, the temporary one included; a needed restart is
        // reported in the flag rather than asked of the user.
        const NewDevApi newdev;
        if (newdev.update() != nullptr) {
            newdev.update()(nullptr, hardwareIds, infPath, 0, rebootRequired);
        }
        // The driver stays installed for the ID; only the temporary node goes.
        SetupDiCallClassInstaller(DIF_REMOVE, deviceInfo, &deviceData);
    }

    DWORD error = GetLastError();
    SetupDiDestroyDeviceInfoList(deviceInfo);
    SetLastError(error);
    return error == 0;
}

DWORD InstallUpdateDriverBesideProgram() {
    char infPath[kInstallPathSize];
    char hardwareIds[kHardwareIdListSize];
    char programPath[kInstallPathSize] = {};
    MakeHardwareIdList(hardwareIds, sizeof(hardwareIds));

    DWORD length = GetModuleFileNameA(nullptr, programPath, sizeof(programPath));
    if (length >= sizeof(programPath)) {
        return 0;  // the program's path was cut: its directory cannot be named in 260 characters
    }
    if (!MakeInfPath(programPath, infPath, sizeof(infPath))) {
        // Nothing to install from when the path is empty; nothing is attempted when it does not fit.
        if (programPath[0] != '\0') {
            return 0;
        }
    }
    BOOL rebootRequired;
    return InstallUpdateDriver(hardwareIds, infPath, &rebootRequired) ? 0 : GetLastError();
}
