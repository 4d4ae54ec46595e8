// brg40sim-umockdev [--] COMMAND [ARGS...]: runs COMMAND in a umockdev testbed that mirrors the
// running simulator (BRG40_SIM_DIR or BRG40_SIM_PORT, see sim_client.h). A converter at LPTn in
// normal mode is /dev/sg(n-1); a converter in update mode is the USB device 1f3a:0c21. COMMAND
// runs unmodified with umockdev's preload library, so that the kernel interfaces it uses (sysfs,
// /dev/sgN and SG_IO, /dev/bus/usb and usbdevfs, udev) reach the testbed. Exits with COMMAND's
// exit status (128 + signal when it was killed), or 125 when the bridge itself could not start.
#include <spawn.h>
#include <unistd.h>
#include <sys/wait.h>
#include <umockdev.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sg_face.h"
#include "usb_face.h"

extern char** environ;

namespace {

constexpr int kBridgeFailed = 125;
const char kPreload[] = "libumockdev-preload.so.0";

// umockdev's preload library first (before a sanitizer runtime that a test may preload as well).
// The bridge needs it too: the uevents it sends are built by libudev from the testbed's sysfs.
// Returns false when it was already there.
bool AddPreload() {
    const char* current = std::getenv("LD_PRELOAD");
    std::string preload = current != nullptr ? current : "";
    if (preload.find("libumockdev-preload") != std::string::npos) {
        return false;
    }
    preload = preload.empty() ? kPreload : std::string(kPreload) + ":" + preload;
    setenv("LD_PRELOAD", preload.c_str(), 1);
    return true;
}

int RunChild(char** argv) {
    pid_t child = 0;
    const int error = posix_spawnp(&child, argv[0], nullptr, nullptr, argv, environ);
    if (error != 0) {
        std::fprintf(stderr, "brg40sim-umockdev: cannot run %s: %s\n", argv[0], std::strerror(error));
        return 127;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            return kBridgeFailed;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

int main(int argc, char** argv) {
    int first = 1;
    if (first < argc && std::strcmp(argv[first], "--") == 0) {
        ++first;
    }
    if (first >= argc) {
        std::fprintf(stderr, "usage: brg40sim-umockdev [--] COMMAND [ARGS...]\n");
        return kBridgeFailed;
    }
    if (AddPreload()) {
        execv("/proc/self/exe", argv);  // once more, with the preload library in place
        std::fprintf(stderr, "brg40sim-umockdev: cannot restart itself: %s\n", std::strerror(errno));
        return kBridgeFailed;
    }
    UMockdevTestbed* testbed = umockdev_testbed_new();  // sets UMOCKDEV_DIR for the child
    int result = kBridgeFailed;
    {
        sim::SgFace sg(testbed);
        sim::UsbFace usb(testbed);
        if (!sg.start() || !usb.start()) {
            std::fprintf(stderr, "brg40sim-umockdev: no simulator (BRG40_SIM_DIR / BRG40_SIM_PORT)\n");
        } else {
            result = RunChild(argv + first);
        }
    }
    g_object_unref(testbed);
    return result;
}
