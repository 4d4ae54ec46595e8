// Pipes kept open over the update-mode device routines.
#include "kept_pipes.h"

#include "update_device.h"

KeptPipes::KeptPipes(std::string interfacePath)
    : m_path(std::move(interfacePath)), m_event(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

KeptPipes::~KeptPipes() {
    Close();
    if (m_event != nullptr) {
        CloseHandle(m_event);
    }
}

int KeptPipes::Write(const uint8_t* data, uint32_t size) {
    return Transfer(const_cast<uint8_t*>(data), size, true);  // WriteFile only reads it
}

int KeptPipes::Read(uint8_t* data, uint32_t size) {
    return Transfer(data, size, false);
}

bool KeptPipes::Open() {
    if (m_command != INVALID_HANDLE_VALUE) {
        return true;
    }
    // Both pipes below the pinned path, each name built in its own copy of it.
    char name[kDeviceNameSize];
    CopyInterfacePath(name, sizeof name, m_path.c_str());
    m_command = OpenPipeOfInterface(name, commandPipeName);
    CopyInterfacePath(name, sizeof name, m_path.c_str());
    m_reply = m_command == INVALID_HANDLE_VALUE ? INVALID_HANDLE_VALUE : OpenPipeOfInterface(name, replyPipeName);
    if (m_reply == INVALID_HANDLE_VALUE) {
        Close();
        return false;
    }
    m_device = DeviceInstanceOfPath(m_path.c_str());
    return true;
}

void KeptPipes::Close() {
    if (m_command != INVALID_HANDLE_VALUE) {
        CloseHandle(m_command);
    }
    if (m_reply != INVALID_HANDLE_VALUE) {
        CloseHandle(m_reply);
    }
    m_command = m_reply = INVALID_HANDLE_VALUE;
    m_device.clear();
}

int KeptPipes::Transfer(uint8_t* data, uint32_t size, bool toDevice) {
    if (!Open()) {
        return -1;
    }
    DWORD transferred = 0;
    if (!MoveUpdateBlock(toDevice ? m_command : m_reply, data, size, toDevice, &transferred, m_event)) {
        Close();  // the device may have gone: the next transfer finds it anew
    }
    return toDevice ? 1 : static_cast<int>(transferred);
}
