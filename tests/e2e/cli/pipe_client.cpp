// pipe_client: the least a program can do for one update: the exchanges of a programming run, a
// read-back and the close byte, over PIPE00 and PIPE01 opened once, with plain blocking transfers
// and no checks beyond the echo. The yardstick of scripts/bench-cli.
// It orders the converter into update mode first, through the library.
//   pipe_client.exe IMAGE     prints "pipe_client ms=N exchanges=N ok=0|1" on stderr
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "brg40firmup.h"
#include "update_device.h"

namespace {

HANDLE Open(const char* pipeName) {
    char name[300];
    std::snprintf(name, sizeof name, "%s\\%s", completeDeviceName, pipeName);
    return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       0, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: pipe_client IMAGE\n");
        return 2;
    }
    std::vector<unsigned char> image(0x6000 - 0x800, 0xFF);
    if (FILE* f = std::fopen(argv[1], "rb")) {
        std::fread(image.data(), 1, image.size(), f);
        std::fclose(f);
    }
    SetUpdateDeviceDiagnostics(nullptr);
    // Into update mode before the clock starts, as the other programs are timed from there too.
    int status = 0;
    Brg40Handle device = brg40_open(&status);
    brg40_change_firmup_mode(device);
    brg40_close(device);
    for (int i = 0; i < 100 && !GetUsbDeviceFileName(&UpdateInterfaceGuid, completeDeviceName); ++i) {
        Sleep(100);
    }
    LARGE_INTEGER frequency, t0, t1;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&t0);
    if (!GetUsbDeviceFileName(&UpdateInterfaceGuid, completeDeviceName)) {
        std::fprintf(stderr, "pipe_client: no update-mode device\n");
        return 1;
    }
    HANDLE out = Open(commandPipeName);
    HANDLE in = Open(replyPipeName);
    long exchanges = 0;
    bool ok = out != INVALID_HANDLE_VALUE && in != INVALID_HANDLE_VALUE;
    auto exchange = [&](unsigned char command, unsigned address, const unsigned char* data) {
        unsigned char packet[21] = {command, static_cast<unsigned char>(command == 3 ? 1 : 16),
                                    static_cast<unsigned char>(address), static_cast<unsigned char>(address >> 8),
                                    static_cast<unsigned char>(address >> 16)};
        const DWORD size = command == 2 ? 21 : 5;
        if (data) {
            std::memcpy(packet + 5, data, 16);
        }
        unsigned char reply[21] = {};
        DWORD done = 0;
        ok = ok && WriteFile(out, packet, size, &done, nullptr) &&
             ReadFile(in, reply, command == 1 ? 21 : 1, &done, nullptr) && reply[0] == command;
        ++exchanges;
    };
    exchange(1, 0x5FE0, nullptr);
    for (unsigned a = 0x800; a < 0x6000; a += 64) {
        exchange(3, a, nullptr);
    }
    for (unsigned a = 0x800; a < 0x6000; a += 16) {
        exchange(2, a, image.data() + (a - 0x800));
    }
    for (unsigned a = 0x800; a < 0x6000; a += 16) {
        exchange(1, a, nullptr);
    }
    const unsigned char close = 0xFF;
    DWORD done = 0;
    ok = ok && WriteFile(out, &close, 1, &done, nullptr);
    QueryPerformanceCounter(&t1);
    std::fprintf(stderr, "pipe_client ms=%.0f exchanges=%ld ok=%d\n",
                 static_cast<double>(t1.QuadPart - t0.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart),
                 exchanges + 1, ok ? 1 : 0);
    CloseHandle(out);
    CloseHandle(in);
    return ok ? 0 : 1;
}
