// The update-mode driver installation in the prefix: the .inf installed, no temporary device node,
// nothing printed.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "device_names.h"
#include "driver_install.h"
#include "stdout_capture.h"
#include "test_support.h"

namespace {

bool file_contains(const std::string& path, const char* text) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) {
        return false;
    }
    std::string content;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        content.append(buffer, got);
    }
    std::fclose(f);
    return content.find(text) != std::string::npos;
}

// Installed setup information files of the prefix that carry our hardware ID.
std::vector<std::string> installed_infs() {
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    std::string dir = std::string(windows) + "\\inf\\";
    std::vector<std::string> found;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((dir + "*.inf").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        return found;
    }
    do {
        if (file_contains(dir + data.cFileName, "USB\\VID_1F3A&PID_0C21")) {
            found.push_back(data.cFileName);
        }
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return found;
}

// Device nodes under Enum\ROOT whose hardware ID is ours (the temporary node must be gone).
int root_nodes_with_our_id() {
    HKEY root;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Enum\\ROOT", 0, KEY_READ, &root) != 0) {
        return 0;
    }
    int count = 0;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = sizeof name;
        if (RegEnumKeyExA(root, i, name, &length, nullptr, nullptr, nullptr, nullptr) != 0) {
            break;
        }
        HKEY device;
        if (RegOpenKeyExA(root, name, 0, KEY_READ, &device) != 0) {
            continue;
        }
        char instance[256];
        for (DWORD j = 0;; ++j) {
            DWORD instance_length = sizeof instance;
            if (RegEnumKeyExA(device, j, instance, &instance_length, nullptr, nullptr, nullptr, nullptr) != 0) {
                break;
            }
            char ids[512] = {};
            DWORD size = sizeof ids - 2;
            if (RegGetValueA(device, instance, "HardwareID", RRF_RT_REG_MULTI_SZ, nullptr, ids, &size) == 0 &&
                lstrcmpiA(ids, kUpdateHardwareId) == 0) {
                ++count;
            }
        }
        RegCloseKey(device);
    }
    RegCloseKey(root);
    return count;
}

}  // namespace

void case_install() {
    char program[MAX_PATH];
    GetModuleFileNameA(nullptr, program, sizeof program);
    char inf[kInstallPathSize];
    check(MakeInfPath(program, inf, sizeof inf), "inf path beside the test program");
    check(GetFileAttributesA(inf) != INVALID_FILE_ATTRIBUTES,
          std::string("brg40fup.inf lies beside the program: ") + inf);

    // Missing file: false at the first step, nothing created.
    char ids[kHardwareIdListSize];
    MakeHardwareIdList(ids, sizeof ids);
    std::string missing = std::string(inf) + ".missing";
    BOOL reboot = FALSE;
    SetLastError(0);
    BOOL result = InstallUpdateDriver(ids, missing.c_str(), &reboot);
    DWORD error = GetLastError();
    check(!result && error != 0, "missing inf: false with its error kept: " + std::to_string(error));

    StdoutCapture capture;
    SetLastError(0);
    result = InstallUpdateDriver(ids, inf, &reboot);
    error = GetLastError();
    std::vector<std::string> lines = capture.finish();
    check(result == (error == 0), "result follows the last error " + std::to_string(error));
    check(lines.empty(), "installation prints nothing: " + show_lines(lines));
    std::vector<std::string> infs = installed_infs();
    std::string names;
    for (const auto& n : infs) {
        names += n + " ";
    }
    check(!infs.empty(), "our inf installed under C:\\windows\\inf: " + names);
    check(root_nodes_with_our_id() == 0, "no temporary ROOT node left: " + std::to_string(root_nodes_with_our_id()));

    // The start-up step itself, a second time: silent and leaves no node either.
    StdoutCapture again;
    InstallUpdateDriverBesideProgram();
    lines = again.finish();
    check(lines.empty(), "start-up installation prints nothing");
    check(root_nodes_with_our_id() == 0, "still no temporary ROOT node");
}
