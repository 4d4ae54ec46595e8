// Building the full pipe name, the .inf path and the hardware-ID list: lengths at the limits, no
// byte written past a buffer.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "device_names.h"
#include "test_support.h"
#include "update_device.h"

void case_names() {
    // Full pipe name: interface path, "\" and "PIPE00" must fit in 255 characters.
    struct Row {
        size_t path_length;
        bool fits;
    } rows[] = {{1, true}, {100, true}, {248, true}, {249, false}, {255, false}};
    for (const Row& row : rows) {
        char name[kDeviceNameSize + 8];
        std::memset(name, 0x5A, sizeof name);  // guard bytes past the buffer
        std::string path(row.path_length, 'p');
        CopyInterfacePath(name, kDeviceNameSize, path.c_str());
        bool fits = AppendPipeName(name, kDeviceNameSize, commandPipeName);
        std::string label = "path of " + std::to_string(row.path_length) + " characters";
        check(fits == row.fits, label + ": fits " + std::to_string(fits));
        std::string expected = fits ? path + "\\PIPE00" : path;
        check(std::string(name) == expected, label + ": name after append");
        check(std::strlen(name) <= 255, label + ": at most 255 characters");
        check(name[kDeviceNameSize] == 0x5A, label + ": nothing written past the buffer");
    }
    // An interface path longer than the buffer is cut, never written past it, and then refused.
    for (size_t length : {256u, 300u, 4000u}) {
        char name[kDeviceNameSize + 8];
        std::memset(name, 0x5A, sizeof name);
        std::string path(length, 'q');
        CopyInterfacePath(name, kDeviceNameSize, path.c_str());
        std::string label = "over-long path of " + std::to_string(length);
        check(std::strlen(name) == 255 && name[255] == '\0', label + ": cut at 255");
        check(name[kDeviceNameSize] == 0x5A, label + ": nothing written past the buffer");
        check(!AppendPipeName(name, kDeviceNameSize, replyPipeName), label + ": no pipe name behind it");
        check(std::strlen(name) == 255, label + ": unchanged by the refused append");
    }

    // The device-instance part of an interface path names the device in the preserved-block store.
    const std::string guid = "#{6c0f3a9d-2b57-4e18-8d4c-91a7e5b2f036}";
    const std::vector<std::pair<std::string, std::string>> instance_rows = {
        {"\\\\?\\usb#vid_1f3a&pid_0c21#sim0001" + guid, "usb#vid_1f3a&pid_0c21#sim0001"},
        {"\\\\?\\USB#VID_1F3A&PID_0C21#5&2A3B&0&2" + guid + "\\PIPE01", "usb#vid_1f3a&pid_0c21#5&2a3b&0&2"},
        {"\\\\?\\usb#vid_1f3a&pid_0c21#sim0001", ""},  // no interface class: no device part
        {"\\\\?\\" + guid, ""},
        {"", ""},
    };
    for (const auto& row : instance_rows) {
        const std::string got = DeviceInstanceOfPath(row.first.c_str());
        check(got == row.second, "device of '" + row.first + "': '" + got + "'");
    }

    // The walk over the interfaces ends at the first failed enumeration, whatever its error, and
    // takes the first interface that opens.
    struct WalkRow {
        DWORD failAt;      // the first index whose enumeration fails
        DWORD error;       // with this error
        DWORD opensAt;     // the first index that opens (past failAt: none)
        DWORD enumerated;  // enumerations expected
    } walk_rows[] = {
        {3, ERROR_NO_MORE_ITEMS, 99, 4},
        {0, ERROR_INVALID_DATA, 99, 1},  // a persistent error: asked once, not for ever
        {2, ERROR_INVALID_USER_BUFFER, 99, 3},
        {5, ERROR_NO_MORE_ITEMS, 1, 2},
    };
    for (const WalkRow& row : walk_rows) {
        DWORD calls = 0;
        HANDLE fake = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x1234));
        HANDLE got = FirstOpenedInterface(
            [&](DWORD index, SP_DEVICE_INTERFACE_DATA* data) {
                ++calls;
                if (calls > 1000 || index >= row.failAt) {
                    SetLastError(row.error);
                    return FALSE;
                }
                data->Reserved = index;
                return TRUE;
            },
            [&](SP_DEVICE_INTERFACE_DATA* data) {
                return data->Reserved == row.opensAt ? fake : INVALID_HANDLE_VALUE;
            });
        const std::string label =
            "walk failing at " + std::to_string(row.failAt) + " with " + std::to_string(row.error);
        check(calls == row.enumerated, label + ": enumerations " + std::to_string(calls));
        check(got == (row.opensAt < row.failAt ? fake : INVALID_HANDLE_VALUE), label + ": the interface taken");
    }

    // Setup information path: the program's drive and directory, then "brg40fup.inf", in 260 characters.
    std::string dir247 = "C:\\" + std::string(243, 'd') + "\\";  // 247 characters with its backslash
    struct InfRow {
        std::string program;
        std::string expected;  // empty: the installation is skipped
    };
    const std::vector<InfRow> inf_rows = {
        {"C:\\Program Files\\Brg40\\Brg40mFup.exe", "C:\\Program Files\\Brg40\\brg40fup.inf"},
        {"C:\\Brg40mFup.exe", "C:\\brg40fup.inf"},
        {"D:\\tools\\renamed-tool.exe", "D:\\tools\\brg40fup.inf"},
        {"C:Brg40mFup.exe", "C:brg40fup.inf"},
        {"\\\\server\\share\\x\\Brg40mFup.exe", "\\\\server\\share\\x\\brg40fup.inf"},
        {dir247 + "Brg40mFup.exe", dir247 + "brg40fup.inf"},  // 247 + 12 = 259 characters: fits
        {dir247 + "e\\Brg40mFup.exe", ""},                    // 249 + 12 = 261: does not
        {"", ""},
    };
    for (const InfRow& row : inf_rows) {
        bool should_fit = !row.expected.empty();
        char path[kInstallPathSize + 8];
        std::memset(path, 0x5A, sizeof path);
        bool fits = MakeInfPath(row.program.c_str(), path, kInstallPathSize);
        std::string label =
            "inf path for program '" + row.program.substr(0, 40) + "' (" + std::to_string(row.program.size()) + ")";
        check(fits == should_fit, label + ": fits " + std::to_string(fits));
        check(std::string(path) == row.expected, label + ": gives '" + std::string(path).substr(0, 60) + "'");
        check(path[kInstallPathSize] == 0x5A, label + ": nothing written past the buffer");
        bool zero_tail = true;
        for (size_t k = std::strlen(path); k < kInstallPathSize; ++k) {
            zero_tail = zero_tail && path[k] == 0;
        }
        check(zero_tail, label + ": rest of the buffer zero");
    }
    check((dir247 + "brg40fup.inf").size() == 259, "the fitting row is 259 characters long");

    // Hardware-ID list: the ID, its zero and the zero that ends the list; 23 bytes handed on.
    char ids[kHardwareIdListSize];
    std::memset(ids, 0x5A, sizeof ids);
    MakeHardwareIdList(ids, sizeof ids);
    const char expected_ids[] = "USB\\VID_1F3A&PID_0C21\0";
    check(std::memcmp(ids, expected_ids, sizeof expected_ids) == 0,
          "hardware-ID list bytes: " + hex(reinterpret_cast<uint8_t*>(ids), 24));
    check(lstrlenA(ids) + 2 == 23, "hardware-ID list length 23");
    bool all_zero = true;
    for (size_t k = 22; k < sizeof ids; ++k) {
        all_zero = all_zero && ids[k] == 0;
    }
    check(all_zero, "hardware-ID buffer zero after the ID");
}
