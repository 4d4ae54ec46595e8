// Building the full pipe name, the .inf path and the hardware-ID list: lengths at the limits, no
// byte written past a buffer.
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
