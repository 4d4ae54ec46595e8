// bridge_probe.exe: checks the SG_IO bridge under Wine with raw IOCTL_SCSI_PASS_THROUGH_DIRECT
// requests (no library), and times one pass-through round trip.
//   bridge_probe check N     every check against the simulated converter at LPTn; exit = failures
//   bridge_probe time N K    K INQUIRY round trips; prints the time per request
// It steers the simulator itself through its client (faults, unplug) and reads its transcript.
#include <windows.h>
#include <ntddscsi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sim_client.h"

namespace {

// The converter's 96-byte request block: the pass-through structure, filler, sense area, tail.
struct Block {
    SCSI_PASS_THROUGH_DIRECT sptd;
    ULONG filler;
    UCHAR sense[32];
    ULONG tail;
};
static_assert(sizeof(SCSI_PASS_THROUGH_DIRECT) == 56, "64-bit layout");
static_assert(offsetof(Block, sense) == 60 && sizeof(Block) == 96, "block layout");

int g_failed = 0;
int g_passed = 0;

void check(bool ok, const char* what, const std::string& detail = {}) {
    if (ok) {
        ++g_passed;
        std::printf("ok    %s\n", what);
    } else {
        ++g_failed;
        std::printf("FAIL  %s%s%s\n", what, detail.empty() ? "" : ": ", detail.c_str());
    }
}

HANDLE open_lpt(int n, DWORD* error = nullptr) {
    char name[16];
    std::snprintf(name, sizeof name, "\\\\.\\LPT%d", n);
    HANDLE h = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (error != nullptr) {
        *error = h == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    }
    return h;
}

// Fills a zeroed block the way the converter's driver expects it.
void prepare(Block& b, const UCHAR* cdb, UCHAR cdb_length, UCHAR data_in, void* data, ULONG length, ULONG timeout_s) {
    std::memset(&b, 0, sizeof b);
    b.sptd.Length = sizeof b.sptd;
    b.sptd.TargetId = 1;
    b.sptd.CdbLength = cdb_length;
    b.sptd.SenseInfoLength = 18;
    b.sptd.DataIn = data_in;
    b.sptd.DataTransferLength = length;
    b.sptd.TimeOutValue = timeout_s;
    b.sptd.DataBuffer = data;
    b.sptd.SenseInfoOffset = offsetof(Block, sense);
    std::memcpy(b.sptd.Cdb, cdb, cdb_length);
}

// One request; returns GetLastError() of a failed request, 0 on success.
DWORD send(HANDLE h, Block& b) {
    DWORD returned = 0;
    if (DeviceIoControl(h, IOCTL_SCSI_PASS_THROUGH_DIRECT, &b, sizeof b, &b, sizeof b, &returned, nullptr)) {
        return 0;
    }
    return GetLastError();
}

// Vendor command 219 (LED): value in CDB byte 2, direction out, no data, 5 s.
DWORD led(HANDLE h, Block& b, UCHAR value) {
    const UCHAR cdb[10] = {0xDB, 0, value};
    prepare(b, cdb, 10, SCSI_IOCTL_DATA_OUT, nullptr, 0, 5);
    return send(h, b);
}

std::string last_line(const std::string& text) {
    std::string t = text;
    while (!t.empty() && t.back() == '\n') {
        t.pop_back();
    }
    const size_t nl = t.rfind('\n');
    return nl == std::string::npos ? t : t.substr(nl + 1);
}

bool contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

std::string number(unsigned long v) {
    return std::to_string(v);
}

int run_checks(int lpt, sim::SimClient& sim) {
    const std::string n = std::to_string(lpt);
    sim.command("clear-transcript " + n);
    DWORD error = 0;
    HANDLE h = open_lpt(lpt, &error);
    check(h != INVALID_HANDLE_VALUE, "the simulated converter opens as \\\\.\\LPTn", "error " + number(error));
    if (h == INVALID_HANDLE_VALUE) {
        return 1;
    }
    HANDLE second = open_lpt(lpt, &error);
    check(second == INVALID_HANDLE_VALUE && error == ERROR_SHARING_VIOLATION,
          "a second open with share mode 0 fails with 32", "error " + number(error));
    if (second != INVALID_HANDLE_VALUE) {
        CloseHandle(second);
    }

    Block b;
    UCHAR inquiry[36];
    std::memset(inquiry, 0xEE, sizeof inquiry);
    const UCHAR inquiry_cdb[6] = {0x12, 0, 0, 0, 36, 0};
    prepare(b, inquiry_cdb, 6, SCSI_IOCTL_DATA_IN, inquiry, sizeof inquiry, 5);
    error = send(h, b);
    check(error == 0 && (b.sense[2] & 0x0F) == 0, "INQUIRY succeeds without sense data", "error " + number(error));
    check(std::memcmp(inquiry + 8, "ZEVAK", 5) == 0, "INQUIRY data carries the vendor at byte 8",
          std::string(reinterpret_cast<char*>(inquiry + 8), 8));
    check(std::strstr(std::string(reinterpret_cast<char*>(inquiry + 16), 16).c_str(), "NKV-BRG40M") != nullptr,
          "INQUIRY data carries the product at byte 16");

    // Version (218): 4 bytes in; the model's version is in bytes 2 and 3.
    UCHAR version[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    const UCHAR version_cdb[10] = {0xDA, 0, 0, 0, 0, 0, 0, 0, 4};
    prepare(b, version_cdb, 10, SCSI_IOCTL_DATA_IN, version, sizeof version, 5);
    error = send(h, b);
    check(error == 0 && (b.sense[2] & 0x0F) == 0, "a vendor command with data in succeeds", "error " + number(error));
    char expected[16];
    std::snprintf(expected, sizeof expected, "version=%X.%02X", version[2], version[3]);
    check(contains(sim.command("state"), expected), "the data of a vendor command comes from the model", expected);
    check(contains(last_line(sim.command("transcript " + n)), "clean=1"), "the bridge sees a zeroed block as clean");

    // A stale sense area left in the block: the bridge tells the model, which refuses the request.
    prepare(b, version_cdb, 10, SCSI_IOCTL_DATA_IN, version, sizeof version, 5);
    std::memset(b.sense, 0xAA, sizeof b.sense);
    error = send(h, b);
    check(error == ERROR_INVALID_PARAMETER && contains(last_line(sim.command("transcript " + n)), "clean=0"),
          "a block whose sense area was not zeroed is seen as not clean", "error " + number(error));

    error = led(h, b, 1);
    check(error == 0, "a vendor command without data succeeds", "error " + number(error));
    check(
        contains(last_line(sim.command("transcript " + n)), "cdb=DB000100000000000000 dir=out len=0 timeout=5 clean=1"),
        "the model sees the CDB, direction, length and time-out, and a zeroed block");

    // EEPROM write (249): data out reaches the model.
    UCHAR eeprom[4] = {0x11, 0x22, 0x33, 0x44};
    const UCHAR eeprom_cdb[10] = {0xF9, 0, 0, 0, 0, 0, 0, 0, 4};
    prepare(b, eeprom_cdb, 10, SCSI_IOCTL_DATA_OUT, eeprom, sizeof eeprom, 10);
    error = send(h, b);
    check(error == 0 && contains(last_line(sim.command("transcript " + n)), "out=11223344"),
          "data out reaches the model", "error " + number(error));

    // A converter error comes back as CHECK CONDITION with fixed-format sense data.
    sim.command("fail " + n + " 0xDB sense 3 0x80 4 1");
    error = led(h, b, 2);
    check(error == 0 && b.sptd.ScsiStatus == 2 && (b.sense[2] & 0x0F) == 3 && b.sense[12] == 0x80 && b.sense[13] == 4 &&
              b.sptd.SenseInfoLength == 18,
          "sense key 3 / 0x80 / 4 arrives in the caller's sense area",
          "error " + number(error) + " status " + number(b.sptd.ScsiStatus) + " key " + number(b.sense[2]));

    // Every Windows error the bridge carries arrives as GetLastError() of the failed request.
    const unsigned kErrors[] = {1, 5, 6, 21, 31, 32, 50, 87, 112, 170, 998};
    std::string wrong;
    for (const unsigned e : kErrors) {
        sim.command("fail " + n + " 0xDB oserror " + std::to_string(e) + " 1");
        std::memset(&b, 0, sizeof b);
        const DWORD got = led(h, b, 3);
        if (got != e || b.sense[2] != 0) {
            wrong += " " + std::to_string(e) + "->" + std::to_string(got);
        }
    }
    check(wrong.empty(), "each carried Windows error fails the request with that error", wrong);

    // A malformed block never reaches the model: ERROR_INVALID_PARAMETER and a bridge error.
    sim.command("bridge-errors clear");
    const UCHAR led_cdb[10] = {0xDB, 0, 4};
    prepare(b, led_cdb, 10, SCSI_IOCTL_DATA_OUT, nullptr, 0, 5);
    b.sptd.TargetId = 0;
    error = send(h, b);
    const std::string bridge = sim.command("bridge-errors clear");
    check(error == ERROR_INVALID_PARAMETER && contains(bridge, "TargetId=0 (expected 1)"),
          "a block with a wrong TargetId is refused and reported", "error " + number(error) + " " + bridge);

    // Unplugging: the open handle fails, the name disappears; replugging brings it back.
    sim.command("unplug " + n);
    error = led(h, b, 5);
    check(error == ERROR_GEN_FAILURE, "a request to an unplugged converter fails with 31", "error " + number(error));
    HANDLE gone = open_lpt(lpt, &error);
    check(gone == INVALID_HANDLE_VALUE, "an unplugged converter cannot be opened", "error " + number(error));
    if (gone != INVALID_HANDLE_VALUE) {
        CloseHandle(gone);
    }
    CloseHandle(h);
    sim.command("replug " + n);
    h = open_lpt(lpt, &error);
    check(h != INVALID_HANDLE_VALUE && led(h, b, 6) == 0, "a replugged converter opens and answers again",
          "error " + number(error));
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
    }
    std::printf("checks: %d passed, %d failed\n", g_passed, g_failed);
    return g_failed;
}

int run_timing(int lpt, int count) {
    HANDLE h = open_lpt(lpt);
    if (h == INVALID_HANDLE_VALUE) {
        std::printf("cannot open LPT%d: %lu\n", lpt, GetLastError());
        return 1;
    }
    Block b;
    UCHAR inquiry[36];
    const UCHAR cdb[6] = {0x12, 0, 0, 0, 36, 0};
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    for (int i = 0; i < count; ++i) {
        prepare(b, cdb, 6, SCSI_IOCTL_DATA_IN, inquiry, sizeof inquiry, 5);
        if (send(h, b) != 0) {
            std::printf("request %d failed: %lu\n", i, GetLastError());
            CloseHandle(h);
            return 1;
        }
    }
    QueryPerformanceCounter(&end);
    CloseHandle(h);
    const double us =
        1e6 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    std::printf("round trip: %.1f us per pass-through request (%d requests)\n", us / count, count);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::printf("usage: bridge_probe check N | bridge_probe time N COUNT\n");
        return 2;
    }
    const int lpt = std::atoi(argv[2]);
    if (std::strcmp(argv[1], "time") == 0) {
        return run_timing(lpt, argc > 3 ? std::atoi(argv[3]) : 1000);
    }
    sim::SimClient sim;
    if (!sim.connect_from_env()) {
        std::printf("no simulator (BRG40_SIM_PORT)\n");
        return 2;
    }
    return run_checks(lpt, sim);
}
