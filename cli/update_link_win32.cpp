// The update-mode seam on Windows: kept-open pipes over the update tool's device routines.
#include "update_link.h"

#include <windows.h>

#include <chrono>
#include <thread>

#include "device_names.h"
#include "driver_install.h"
#include "program_data_store.h"
#include "update_device.h"

namespace {

class KeptPipes : public UpdatePipe {
public:
    KeptPipes() : m_event(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~KeptPipes() override {
        Close();
        if (m_event != nullptr) {
            CloseHandle(m_event);
        }
    }

    int Write(const uint8_t* data, uint32_t size) override {
        return Transfer(const_cast<uint8_t*>(data), size, true);  // WriteFile only reads it
    }
    int Read(uint8_t* data, uint32_t size) override { return Transfer(data, size, false); }
    std::string DeviceId() override { return m_device; }

private:
    bool Open() {
        if (m_command != INVALID_HANDLE_VALUE) {
            return true;
        }
        m_command = OpenUpdatePipe(commandPipeName);
        m_reply = m_command == INVALID_HANDLE_VALUE ? INVALID_HANDLE_VALUE : OpenUpdatePipe(replyPipeName);
        if (m_reply == INVALID_HANDLE_VALUE) {
            Close();
            return false;
        }
        // completeDeviceName now holds the path of the device both pipes belong to.
        m_device = DeviceInstanceOfPath(completeDeviceName);
        return true;
    }

    void Close() {
        if (m_command != INVALID_HANDLE_VALUE) {
            CloseHandle(m_command);
        }
        if (m_reply != INVALID_HANDLE_VALUE) {
            CloseHandle(m_reply);
        }
        m_command = m_reply = INVALID_HANDLE_VALUE;
        m_device.clear();
    }

    int Transfer(uint8_t* data, uint32_t size, bool toDevice) {
        if (!Open()) {
            return -1;
        }
        DWORD transferred = 0;
        if (!MoveUpdateBlock(toDevice ? m_command : m_reply, data, size, toDevice, &transferred, m_event)) {
            Close();  // the device may have gone: the next transfer finds it anew
        }
        return toDevice ? 1 : static_cast<int>(transferred);
    }

    HANDLE m_command = INVALID_HANDLE_VALUE;
    HANDLE m_reply = INVALID_HANDLE_VALUE;
    HANDLE m_event;        // one event for every transfer: a new one each time costs a system call twice
    std::string m_device;  // the device-instance part of the pipes' path, while they are open
};

}  // namespace

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
