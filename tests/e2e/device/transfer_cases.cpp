// Transfers against the simulated converter through its update-mode face: the diagnostic lines, the
// bytes that reach the loader and come back, no device, a silent loader, a short reply, leaving
// update mode; and the time per exchange.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "device_names.h"
#include "device_update_pipe.h"
#include "interface_entry.h"
#include "stdout_capture.h"
#include "test_support.h"
#include "update_device.h"

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
        // Beside unit 1's own entry, and leading to its pipes: all of the path but the instance.
        const size_t fixed = sim::InterfaceEntry("", "brg40sim-1").device_path().size();
        sim::InterfaceEntry entry(std::string(length - fixed, 'L'), "brg40sim-1");
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
    DWORD received = 99;
    int read = ReadUpdatePipe(reply, sizeof reply, &received);
    std::vector<std::string> lines = capture.finish();
    check(read != -1 && read != 0, "result is that of the close: " + std::to_string(read));
    check(received == 5, "the count of bytes that came: " + std::to_string(received));
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
