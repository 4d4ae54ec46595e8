// brg40sim-umockdev [--] COMMAND [ARGS...]: runs COMMAND in a umockdev testbed that mirrors the
// running simulator (BRG40_SIM_DIR or BRG40_SIM_PORT, see sim_client.h). A converter at LPTn in
// normal mode is /dev/sg(n-1); a converter in update mode is the USB device 1f3a:0c21. COMMAND
// runs unmodified with umockdev's preload library, so that the kernel interfaces it uses (sysfs,
// /dev/sgN and its requests, /dev/bus/usb and usbdevfs, udev) reach the testbed. Exits with COMMAND's
// exit status (128 + signal when it was killed), or 125 when the bridge itself could not start.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <sys/wait.h>
#include <umockdev.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench_face.h"
#include "client_link.h"

extern char** environ;

namespace {

constexpr int kBridgeFailed = 125;
const char kPreload[] = "libumockdev-preload.so.0";
const char kExclusivePreload[] = "libbrg40sgexcl.so";  // beside this program

// The folder of this program.
std::string OwnFolder() {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (n <= 0) {
        return ".";
    }
    path[n] = '\0';
    std::string folder(path);
    return folder.substr(0, folder.rfind('/'));
}

// The sg driver's exclusive open first, then umockdev's preload library (both before a sanitizer
// runtime that a test may preload as well). The bridge needs umockdev's too: the uevents it sends
// are built by libudev from the testbed's sysfs. The holds of the nodes are shared by every
// program bridged to the same simulator (its folder's sg-locks), so that one that holds a
// converter keeps it from the others. Returns false when the preloads were already there.
bool AddPreload() {
    const char* current = std::getenv("LD_PRELOAD");
    std::string preload = current != nullptr ? current : "";
    if (preload.find("libumockdev-preload") != std::string::npos) {
        return false;
    }
    const std::string ours = OwnFolder() + "/" + kExclusivePreload + ":" + kPreload;
    preload = preload.empty() ? ours : ours + ":" + preload;
    setenv("LD_PRELOAD", preload.c_str(), 1);
    const char* sim_dir = std::getenv("BRG40_SIM_DIR");
    if (std::getenv("BRG40_SG_LOCK_DIR") == nullptr && sim_dir != nullptr && *sim_dir != '\0') {
        const std::string locks = std::string(sim_dir) + "/sg-locks";
        mkdir(locks.c_str(), 0755);
        setenv("BRG40_SG_LOCK_DIR", locks.c_str(), 1);
    }
    return true;
}

// With BRG40_BRIDGE_CPU_FILE set, appends a line "BRIDGE CHILD" to that file: the CPU seconds of
// this process (the emulation) and of the command it ran, for scripts/bench-rack.
void ReportCpu() {
    const char* file = std::getenv("BRG40_BRIDGE_CPU_FILE");
    if (file == nullptr || *file == '\0') {
        return;
    }
    rusage self = {}, child = {};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &child);
    const auto seconds = [](const rusage& r) {
        return r.ru_utime.tv_sec + r.ru_stime.tv_sec + (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
    };
    if (std::FILE* out = std::fopen(file, "a")) {
        std::fprintf(out, "%.2f %.2f\n", seconds(self), seconds(child));
        std::fclose(out);
    }
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
        sim::SimClient client;
        sim::ClientLink link(client);
        sim::SerialLink serial(link);
        sim::BenchFace bench(testbed, serial);
        if (!client.connect_from_env() || !bench.start()) {
            std::fprintf(stderr, "brg40sim-umockdev: no simulator (BRG40_SIM_DIR / BRG40_SIM_PORT)\n");
        } else {
            result = RunChild(argv + first);
            ReportCpu();
        }
    }
    g_object_unref(testbed);
    return result;
}
