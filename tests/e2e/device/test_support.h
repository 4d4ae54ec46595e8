// What the cases of brg40fup-device-test share: counted checks, text helpers, the update-mode
// interface as SetupAPI lists it, and the simulator with one converter at LPT1.
#ifndef BRG40_TESTS_DEVICE_TEST_SUPPORT_H
#define BRG40_TESTS_DEVICE_TEST_SUPPORT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sim_client.h"

// Counts a check; a failed one is reported on stderr with what.
void check(bool ok, const std::string& what);
int checks_passed();
int checks_failed();

std::string hex(const uint8_t* data, size_t size);
std::string show_lines(const std::vector<std::string>& lines);

// The interface path under which brg40sim-pipes.exe presents device number 1.
extern const char kDevicePath[];
constexpr int kLpt = 1;

// The three lines one transfer prints when the device is found and its pipe opens.
std::vector<std::string> transfer_lines(const char* pipe);
// "Failed to GetUsbDeviceFileName err - <number>\n"
bool is_discovery_failure(const std::string& line);

// Whether SetupAPI lists a present interface of the class now (silent, unlike the routines).
bool interface_present();
// Waits up to 5 s until interface_present() is present.
bool wait_for_interface(bool present);

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

// The cases, one per run of the program.
void case_names();
void case_exchange();
void case_two();
void case_long();
void case_absent();
void case_silent();
void case_short();
void case_leave();
void case_install();
void case_bench(int count);

#endif
