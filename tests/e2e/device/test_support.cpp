// Counted checks, text helpers and the update-mode interface as SetupAPI lists it.
#include "test_support.h"

#include <windows.h>
#include <setupapi.h>

#include <cstdio>

#include "update_device.h"

namespace {

int g_passed = 0;
int g_failed = 0;

}  // namespace

void check(bool ok, const std::string& what) {
    if (ok) {
        ++g_passed;
    } else {
        ++g_failed;
        std::fprintf(stderr, "FAILED: %s\n", what.c_str());
    }
}

std::string hex(const uint8_t* data, size_t size) {
    std::string out;
    char byte[4];
    for (size_t i = 0; i < size; ++i) {
        std::snprintf(byte, sizeof byte, "%02X", data[i]);
        out += byte;
    }
    return out;
}

std::string show_lines(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& line : lines) {
        out += "[" + line + "]";
    }
    return out;
}

// Unit 1 of the simulator in update mode: its interface path ends in the folder of its pipes.
const char kDevicePath[] = "\\\\?\\usb#vid_1f3a&pid_0c21#sim0001#{6c0f3a9d-2b57-4e18-8d4c-91a7e5b2f036}\\brg40sim-1";

std::vector<std::string> transfer_lines(const char* pipe) {
    return {std::string("Attempting to open ") + kDevicePath + "\n",
            std::string("completeDeviceName = (") + kDevicePath + "\\" + pipe + ")\n", "Opened successfully.\n"};
}

bool is_discovery_failure(const std::string& line) {
    int code = 0;
    char end = 0;
    return std::sscanf(line.c_str(), "Failed to GetUsbDeviceFileName err - %d%c", &code, &end) == 2 && end == '\n' &&
           line == "Failed to GetUsbDeviceFileName err - " + std::to_string(code) + "\n";
}

bool interface_present() {
    HDEVINFO set = SetupDiGetClassDevsA(&UpdateInterfaceGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) {
        return false;
    }
    SP_DEVICE_INTERFACE_DATA data = {};
    data.cbSize = sizeof data;
    bool present = SetupDiEnumDeviceInterfaces(set, nullptr, &UpdateInterfaceGuid, 0, &data) != 0;
    SetupDiDestroyDeviceInfoList(set);
    return present;
}

bool wait_for_interface(bool present) {
    for (int i = 0; i < 500; ++i) {  // up to 5 s: the face looks at the simulator every few ms
        if (interface_present() == present) {
            return true;
        }
        Sleep(10);
    }
    return false;
}

int checks_passed() {
    return g_passed;
}

int checks_failed() {
    return g_failed;
}
