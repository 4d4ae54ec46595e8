// brg40fup-device-test: the update-mode device routines (update/windows) under Wine, against the
// simulated converter and its update-mode face (brg40sim-pipes.exe). One case per run:
//   brg40fup-device-test.exe names | exchange | two | long | absent | silent | short | leave |
//                            install | bench [N]
// Prints "N passed, N failed" and exits nonzero on any failure.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "test_support.h"

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
    std::printf("%d passed, %d failed\n", checks_passed(), checks_failed());
    return checks_failed() == 0 && checks_passed() > 0 ? 0 : 1;
}
