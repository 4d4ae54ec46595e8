// Update-mode driver installation through a temporary device node, and the preparation of its inputs.
#include "driver_install.h"

#include <setupapi.h>
#include <newdev.h>

#include "device_names.h"

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
        UpdateDriverForPlugAndPlayDevicesA(nullptr, hardwareIds, infPath, 0, rebootRequired);
        // The driver stays installed for the ID; only the temporary node goes.
        SetupDiCallClassInstaller(DIF_REMOVE, deviceInfo, &deviceData);
    }

    DWORD error = GetLastError();
    SetupDiDestroyDeviceInfoList(deviceInfo);
    SetLastError(error);
    return error == 0;
}

void InstallUpdateDriverBesideProgram() {
    char infPath[kInstallPathSize];
    char hardwareIds[kHardwareIdListSize];
    char programPath[kInstallPathSize] = {};
    MakeHardwareIdList(hardwareIds, sizeof(hardwareIds));

    DWORD length = GetModuleFileNameA(nullptr, programPath, sizeof(programPath));
    if (length >= sizeof(programPath)) {
        return;  // the program's path was cut: its directory cannot be named in 260 characters
    }
    if (!MakeInfPath(programPath, infPath, sizeof(infPath))) {
        // Nothing to install from when the path is empty; nothing is attempted when it does not fit.
        if (programPath[0] != '\0') {
            return;
        }
    }
    BOOL rebootRequired;
    InstallUpdateDriver(hardwareIds, infPath, &rebootRequired);
}
