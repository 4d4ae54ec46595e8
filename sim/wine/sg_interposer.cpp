// libbrg40sg.so: LD_PRELOAD library for Wine processes. It answers SG_IO on the files that
// stand for simulated devices (BRG40_SIM_DIR/devices/unitN, reached through the prefix's
// dosdevices/lptN links) from the simulator process; every other ioctl goes to the real one.
#include <dlfcn.h>
#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "sg_bridge.h"
#include "sim_client.h"

namespace {

using IoctlFunction = int (*)(int, unsigned long, ...);

pthread_mutex_t g_lock = PTHREAD_MUTEX_INITIALIZER;  // guards everything below
pthread_once_t g_once = PTHREAD_ONCE_INIT;
IoctlFunction g_real_ioctl = nullptr;
std::string* g_device_dir = nullptr;  // canonical; lives as long as the process
sim::SimClient* g_client = nullptr;
pid_t g_client_pid = 0;

void find_real_ioctl() {
    g_real_ioctl = reinterpret_cast<IoctlFunction>(dlsym(RTLD_NEXT, "ioctl"));
}

// The canonical folder of the device files, or "" while there is none (looked up again later:
// the simulator may create it after this process started).
std::string device_dir() {
    pthread_mutex_lock(&g_lock);
    if (g_device_dir == nullptr) {
        if (const char* dir = std::getenv("BRG40_SIM_DIR")) {
            const std::string devices = std::string(dir) + "/devices";
            if (char* real = realpath(devices.c_str(), nullptr)) {
                g_device_dir = new std::string(real);
                free(real);
            }
        }
    }
    std::string dir = g_device_dir != nullptr ? *g_device_dir : std::string();
    pthread_mutex_unlock(&g_lock);
    return dir;
}

// LPT number of the simulated device behind fd, or 0.
int simulated_lpt(int fd) {
    const std::string dir = device_dir();
    if (dir.empty()) {
        return 0;
    }
    char link[64];
    char path[PATH_MAX];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, path, sizeof path - 1);
    if (n <= 0) {
        return 0;
    }
    path[n] = '\0';
    return sim::lpt_of_path(dir, path);
}

// One request through the shared connection; the worker threads of a caller share it, and a
// forked child makes its own.
bool forward(const sim::wire::ScsiCall& call, sim::ScsiRequest& request, sim::ScsiReply& reply) {
    pthread_mutex_lock(&g_lock);
    if (g_client == nullptr) {
        g_client = new sim::SimClient;
    }
    if (g_client_pid != getpid() || !g_client->connected()) {
        g_client->close();
        g_client->connect_from_env();
        g_client_pid = getpid();
    }
    const bool ok = g_client->scsi(call.lpt, request, reply, call.block_error);
    pthread_mutex_unlock(&g_lock);
    return ok;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int ioctl(int fd, unsigned long request, ...) {
    va_list args;
    va_start(args, request);
    void* arg = va_arg(args, void*);
    va_end(args);
    pthread_once(&g_once, find_real_ioctl);
    const int lpt = request == SG_IO && arg != nullptr ? simulated_lpt(fd) : 0;
    if (lpt == 0) {
        return g_real_ioctl(fd, request, arg);
    }
    sg_io_hdr& hdr = *static_cast<sg_io_hdr*>(arg);
    sim::wire::ScsiCall call = sim::call_from_sg(lpt, hdr);
    sim::ScsiRequest model_request = call.request;
    model_request.data = call.has_data ? static_cast<uint8_t*>(hdr.dxferp) : nullptr;
    sim::wire::ScsiOutcome outcome;
    if (!forward(call, model_request, outcome.reply)) {
        errno = ENODEV;  // no simulator: the device is as good as gone
        return -1;
    }
    // The client already wrote the model's data into the caller's buffer.
    return sim::apply_outcome(hdr, outcome);
}
