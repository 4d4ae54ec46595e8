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

std::unique_ptr<UpdatePipe> MakeUpdateLink(const UpdateUnit& unit) {
    return std::unique_ptr<UpdatePipe>(new KeptPipes(unit.path));
}

std::unique_ptr<PreservedStore> MakePreservedStore() {
    return std::unique_ptr<PreservedStore>(new ProgramDataStore);
}

std::vector<UpdateUnit> ListUpdateUnits() {
    std::vector<UpdateUnit> units;
    for (const UpdateInterface& found : ListOpenableInterfaces(&UpdateInterfaceGuid)) {
        UpdateUnit unit;
        unit.path = found.path;
        unit.serial = SerialOfInstanceId(found.instanceId);
        unit.key = DeviceInstanceOfPath(found.path.c_str());
        units.push_back(unit);
    }
    return units;
}

bool WaitForUpdateUnits(double seconds,
                        const std::function<bool()>& stop,
                        const std::function<bool(const std::vector<UpdateUnit>&)>& done) {
    // A look every 100 ms: listing the interfaces is cheap, and an arrival is seen within a tenth
    // of a second without a window to receive device notifications in a console program.
    const auto limit = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        if (done(ListUpdateUnits())) {
            return true;
        }
        if (stop() || std::chrono::steady_clock::now() >= limit) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

DriverInstall InstallUpdateDriverIfBeside() {
    char programPath[kInstallPathSize] = {};
    char infPath[kInstallPathSize];
    const DWORD length = GetModuleFileNameA(nullptr, programPath, sizeof(programPath));
    if (length == 0 || length >= sizeof(programPath) || !MakeInfPath(programPath, infPath, sizeof(infPath)) ||
        GetFileAttributesA(infPath) == INVALID_FILE_ATTRIBUTES) {
        return DriverInstall::NotBeside;
    }
    return InstallUpdateDriverBesideProgram() == ERROR_ACCESS_DENIED ? DriverInstall::Denied : DriverInstall::Attempted;
}

void ShowDeviceDiagnostics(bool shown) {
    SetUpdateDeviceDiagnostics(shown ? stderr : nullptr);
}
