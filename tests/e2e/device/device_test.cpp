// brg40fup-device-test: the update-mode device routines (tool/device) under Wine, against the
// simulated converter and its update-mode face (brg40sim-pipes.exe). One case per run:
//   brg40fup-device-test.exe names | exchange | two | long | absent | silent | short | leave |
//                            install | bench [N]
// Prints "N passed, N failed" and exits nonzero on any failure.
#include <windows.h>
#include <setupapi.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "device_names.h"
#include "device_update_pipe.h"
#include "driver_install.h"
#include "interface_entry.h"
#include "sim_client.h"
#include "stdout_capture.h"
#include "update_device.h"

namespace {

int g_passed = 0;
int g_failed = 0;

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

// The interface path under which brg40sim-pipes.exe presents device number 1.
const char kDevicePath[] = "\\\\?\\usb#vid_1f3a&pid_0c21#sim0001#{6c0f3a9d-2b57-4e18-8d4c-91a7e5b2f036}";
constexpr int kLpt = 1;

// The three lines one transfer prints when the device is found and its pipe opens.
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

// Whether SetupAPI lists a present interface of the class now (silent, unlike the routines).
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

// The simulator with one converter at LPT1.
class Bench {
public:
    bool start() {
        if (!sim_.connect_from_env()) {
            check(false, "simulator reachable (BRG40_SIM_PORT / BRG40_SIM_DIR)");
            return false;
        }
        sim_.command("detach 1");
        return expect_ok("attach 1 version=1.04");
    }
    bool expect_ok(const std::string& line) {
        std::string answer = sim_.command(line);
        bool ok = answer.compare(0, 2, "ok") == 0;
        check(ok, "simulator command '" + line + "' answered: " + answer);
        return ok;
    }
    std::string command(const std::string& line) { return sim_.command(line); }
    // The firmware-update-mode command, as the library sends it, then the face's reaction.
    bool enter_update_mode() {
        sim::ScsiRequest request;
        request.cdb[0] = 0xFE;
        request.cdb_length = 10;
        request.direction = sim::Direction::Out;
        request.timeout_s = 10;
        sim::ScsiReply reply;
        bool sent = sim_.scsi(kLpt, request, reply) && reply.os_error == 0 && (reply.sense[2] & 0x0F) == 0;
        check(sent, "command 254 accepted");
        bool shown = sent && wait_for_interface(true);
        check(shown, "update-mode interface present after command 254");
        return shown;
    }

private:
    sim::SimClient sim_;
};

// --- cases ---------------------------------------------------------------------------------------

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

// One read-flash exchange: three lines per transfer, the device's flash bytes in the reply.
void case_exchange() {
    Bench bench;
    if (!bench.start() || !bench.enter_update_mode()) {
        return;
    }
    std::string flash_answer = bench.command("flash 1");
    size_t at = flash_answer.find("preserved=");
    std::string expected_hex = at == std::string::npos ? "" : flash_answer.substr(at + 10, 32);

    DeviceUpdatePipe pipe;
    const uint8_t request[5] = {0x01, 0x10, 0xE0, 0x5F, 0x00};  // read 16 bytes at 0x005FE0
    uint8_t reply[21] = {};
    StdoutCapture capture;
    int written = pipe.Write(request, sizeof request);
    int read = pipe.Read(reply, sizeof reply);
    std::vector<std::string> lines = capture.finish();

    std::vector<std::string> expected = transfer_lines("PIPE00");
    for (const auto& line : transfer_lines("PIPE01")) {
        expected.push_back(line);
    }
    check(lines == expected, "three lines per transfer, got " + show_lines(lines));
    check(written != -1 && written != 0, "write result is that of the close: " + std::to_string(written));
    check(read != -1 && read != 0, "read result is that of the close: " + std::to_string(read));
    check(reply[0] == 0x01, "reply echoes the read command: " + hex(reply, 21));
    check(!expected_hex.empty() && hex(reply + 5, 16) == expected_hex,
          "reply bytes 5-20 are the flash at 0x5FE0: " + hex(reply + 5, 16) + " / " + expected_hex);
    std::string transcript = bench.command("loader-transcript 1");
    check(transcript.find(" 0110E05F00") != std::string::npos, "loader received the 5 bytes: " + transcript);
    check(std::string(completeDeviceName) == std::string(kDevicePath) + "\\PIPE01",
          "completeDeviceName after the read");

    // Erase and write one block, then read it back: bytes reach the loader exactly as sent.
    uint8_t erase[5] = {0x03, 0x01, 0x00, 0x08, 0x00};
    uint8_t write[21] = {0x02, 0x10, 0x00, 0x08, 0x00};
    for (int i = 0; i < 16; ++i) {
        write[5 + i] = static_cast<uint8_t>(0xC0 + i * 3);
    }
    uint8_t one = 0;
    StdoutCapture quiet;
    pipe.Write(erase, sizeof erase);
    pipe.Read(&one, 1);
    check(one == 0x03, "erase acknowledged");
    one = 0;
    pipe.Write(write, sizeof write);
    pipe.Read(&one, 1);
    check(one == 0x02, "write acknowledged");
    const uint8_t read_back[5] = {0x01, 0x10, 0x00, 0x08, 0x00};
    std::memset(reply, 0, sizeof reply);
    pipe.Write(read_back, sizeof read_back);
    pipe.Read(reply, sizeof reply);
    quiet.finish();
    check(reply[0] == 0x01 && std::memcmp(reply + 5, write + 5, 16) == 0,
          "block read back as written: " + hex(reply, 21));
}

// Two interfaces of the class, the first of which does not open: it is tried and reported, the
// second is used.
void case_two() {
    Bench bench;
    if (!bench.start() || !bench.enter_update_mode()) {
        return;
    }
    sim::InterfaceEntry dangling("0DANGLING");  // listed before SIM0001; no link behind its path
    check(dangling.show(false), "second interface entry made");
    // Wine lists devices in the order their keys first appear under the class, and adds a key of
    // its own per device ("##?#USB#...#0DANGLING#{...}", sorting before SIM0001's) on enumerating:
    // one enumeration first puts the dangling device ahead.
    interface_present();
    const uint8_t request[5] = {0x01, 0x10, 0x00, 0x08, 0x00};
    uint8_t reply[21] = {};
    StdoutCapture capture;
    WriteUpdatePipe(request, sizeof request);
    ReadUpdatePipe(reply, sizeof reply);
    std::vector<std::string> lines = capture.finish();
    dangling.erase();
    const std::string& bad = dangling.device_path();
    std::vector<std::string> expected;
    for (const char* pipe : {"PIPE00", "PIPE01"}) {
        expected.push_back("Attempting to open " + bad + "\n");
        expected.push_back("FAILED to open " + bad + "\n");
        for (const auto& line : transfer_lines(pipe)) {
            expected.push_back(line);
        }
    }
    check(lines == expected, "first interface tried and failed, second used: " + show_lines(lines));
    check(reply[0] == 0x01, "reply through the second interface: " + hex(reply, sizeof reply));
}

// Interface paths of 248 and 249 characters: the full pipe name of the first is 255 characters and
// opens; the second fails with the long-filename line.
void case_long() {
    Bench bench;
    if (!bench.start()) {
        return;
    }
    check(wait_for_interface(false), "no update-mode interface in normal mode");
    for (size_t length : {248u, 249u}) {
        const size_t fixed = std::strlen(kDevicePath) - std::strlen("sim0001");
        sim::InterfaceEntry entry(std::string(length - fixed, 'L'));
        std::string label = "path of " + std::to_string(length);
        check(entry.device_path().size() == length, label + ": made " + std::to_string(entry.device_path().size()));
        check(entry.show(true) && wait_for_interface(true), label + ": interface present");
        const uint8_t close = 0xFF;  // goes nowhere: no converter is in update mode
        StdoutCapture capture;
        int written = WriteUpdatePipe(&close, 1);
        std::vector<std::string> lines = capture.finish();
        entry.erase();
        check(wait_for_interface(false), label + ": interface removed again");
        const std::string& path = entry.device_path();
        std::vector<std::string> expected = {"Attempting to open " + path + "\n"};
        if (length == 248) {
            expected.push_back("completeDeviceName = (" + path + "\\PIPE00)\n");
            expected.push_back("Opened successfully.\n");
            check(written != -1, label + ": pipe opened");
            check(std::strlen(completeDeviceName) == 255, label + ": full name of 255 characters");
        } else {
            expected.push_back("Failed to open handle - possibly long filename\n");
            check(written == -1, label + ": -1");
        }
        check(lines == expected, label + ": lines " + show_lines(lines));
    }
}

// No update-mode device: the discovery failure line, -1, the buffer as the caller left it.
void case_absent() {
    Bench bench;
    if (!bench.start()) {
        return;
    }
    check(wait_for_interface(false), "no update-mode interface in normal mode");
    uint8_t buffer[21];
    std::memset(buffer, 0xA5, sizeof buffer);
    StdoutCapture capture;
    int written = WriteUpdatePipe(buffer, 5);
    int read = ReadUpdatePipe(buffer, sizeof buffer);
    std::vector<std::string> lines = capture.finish();
    check(written == -1 && read == -1, "both transfers -1: " + std::to_string(written) + " " + std::to_string(read));
    check(lines.size() == 2 && is_discovery_failure(lines[0]) && is_discovery_failure(lines[1]),
          "one discovery failure line per transfer, got " + show_lines(lines));
    bool untouched = true;
    for (uint8_t b : buffer) {
        untouched = untouched && b == 0xA5;
    }
    check(untouched, "buffer untouched: " + hex(buffer, sizeof buffer));
}

// A loader that never answers: the read gives up after about a second and closes the pipe.
void case_silent() {
    Bench bench;
    if (!bench.start() || !bench.enter_update_mode()) {
        return;
    }
    bench.expect_ok("loader-fault 1 1 noreply");  // the first request after power-up
    const uint8_t request[5] = {0x01, 0x10, 0x00, 0x08, 0x00};
    uint8_t reply[21] = {};
    StdoutCapture capture;
    WriteUpdatePipe(request, sizeof request);
    DWORD start = GetTickCount();
    int read = ReadUpdatePipe(reply, sizeof reply);
    DWORD elapsed = GetTickCount() - start;
    std::vector<std::string> lines = capture.finish();
    check(read != -1, "the pipe opened and was closed: " + std::to_string(read));
    check(elapsed >= 900 && elapsed < 20000, "the read gave up after the wait: " + std::to_string(elapsed) + " ms");
    bool cleared = true;
    for (uint8_t b : reply) {
        cleared = cleared && b == 0;
    }
    check(cleared, "reply left as cleared: " + hex(reply, sizeof reply));
    check(lines.size() == 6, "no further diagnostics: " + show_lines(lines));

    // The next exchange works as usual.
    StdoutCapture quiet;
    WriteUpdatePipe(request, sizeof request);
    ReadUpdatePipe(reply, sizeof reply);
    quiet.finish();
    check(reply[0] == 0x01, "next exchange answered: " + hex(reply, sizeof reply));
}

// A reply shorter than asked for: the bytes delivered, the rest of the buffer as the caller left it.
void case_short() {
    Bench bench;
    if (!bench.start() || !bench.enter_update_mode()) {
        return;
    }
    bench.expect_ok("loader-fault 1 1 short");  // the first request after power-up: 5 reply bytes
    const uint8_t request[5] = {0x01, 0x10, 0x00, 0x08, 0x00};
    uint8_t reply[21];
    std::memset(reply, 0x5A, sizeof reply);
    StdoutCapture capture;
    WriteUpdatePipe(request, sizeof request);
    int read = ReadUpdatePipe(reply, sizeof reply);
    std::vector<std::string> lines = capture.finish();
    check(read != -1 && read != 0, "result is that of the close: " + std::to_string(read));
    check(reply[0] == 0x01, "first bytes delivered: " + hex(reply, sizeof reply));
    bool kept = true;
    for (size_t i = 5; i < sizeof reply; ++i) {
        kept = kept && reply[i] == 0x5A;
    }
    check(kept, "bytes 5-20 keep the caller's contents: " + hex(reply, sizeof reply));
    check(lines.size() == 6, "three lines per transfer, nothing more: " + show_lines(lines));
}

// The close byte: the converter checks its flash, goes back to normal mode, and the interface goes.
void case_leave() {
    Bench bench;
    if (!bench.start() || !bench.enter_update_mode()) {
        return;
    }
    const uint8_t close = 0xFF;
    StdoutCapture capture;
    int written = WriteUpdatePipe(&close, 1);
    capture.finish();
    check(written != -1, "close byte sent");
    check(wait_for_interface(false), "interface gone after the close byte");
    std::string state = bench.command("state");
    check(state.find("lpt1 mode=normal") != std::string::npos, "converter back in normal mode: " + state);
    uint8_t buffer[1] = {0x77};
    StdoutCapture after;
    int read = ReadUpdatePipe(buffer, 1);
    std::vector<std::string> lines = after.finish();
    check(read == -1 && buffer[0] == 0x77 && lines.size() == 1 && is_discovery_failure(lines[0]),
          "next transfer finds no device: " + show_lines(lines));

    // Back in update mode, then unplugged: the interface goes as well.
    if (bench.enter_update_mode()) {
        bench.expect_ok("unplug 1");
        check(wait_for_interface(false), "interface gone after unplugging");
    }
}

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

// Time per exchange (write and read with two discoveries), for the report; asserts nothing on time.
void case_bench(int count) {
    Bench bench;
    if (!bench.start() || !bench.enter_update_mode()) {
        return;
    }
    const uint8_t request[5] = {0x01, 0x10, 0x00, 0x08, 0x00};
    uint8_t reply[21];
    int answered = 0;
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    StdoutCapture capture;  // diagnostics to a file, as a tool's redirected output
    QueryPerformanceCounter(&start);
    for (int i = 0; i < count; ++i) {
        std::memset(reply, 0, sizeof reply);
        WriteUpdatePipe(request, sizeof request);
        ReadUpdatePipe(reply, sizeof reply);
        answered += reply[0] == 0x01;
    }
    QueryPerformanceCounter(&end);
    // Discovery alone (enumerate, open and close the interface path), as each transfer does it.
    char name[kDeviceNameSize];
    int found = 0;
    LARGE_INTEGER found_end;
    for (int i = 0; i < count; ++i) {
        found += GetUsbDeviceFileName(&UpdateInterfaceGuid, name) ? 1 : 0;
    }
    QueryPerformanceCounter(&found_end);
    capture.finish();
    double ms = (end.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart;
    double discovery_ms = (found_end.QuadPart - end.QuadPart) * 1000.0 / frequency.QuadPart;
    check(answered == count, "every exchange answered: " + std::to_string(answered));
    check(found == count, "every discovery found the device: " + std::to_string(found));
    std::printf("bench: %d exchanges in %.1f ms, %.3f ms per exchange (write and read, two discoveries)\n", count, ms,
                ms / count);
    std::printf("bench: %.3f ms per discovery alone\n", discovery_ms / count);
}

}  // namespace

int main(int argc, char** argv) {
    std::string which = argc > 1 ? argv[1] : "";
    if (which == "names") {
        case_names();
    } else if (which == "exchange") {
        case_exchange();
    } else if (which == "two") {
        case_two();
    } else if (which == "long") {
        case_long();
    } else if (which == "absent") {
        case_absent();
    } else if (which == "silent") {
        case_silent();
    } else if (which == "short") {
        case_short();
    } else if (which == "leave") {
        case_leave();
    } else if (which == "install") {
        case_install();
    } else if (which == "bench") {
        case_bench(argc > 2 ? std::atoi(argv[2]) : 200);
    } else {
        std::fprintf(
            stderr,
            "usage: brg40fup-device-test.exe names|exchange|two|long|absent|silent|short|leave|install|bench [N]\n");
        return 2;
    }
    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 && g_passed > 0 ? 0 : 1;
}
