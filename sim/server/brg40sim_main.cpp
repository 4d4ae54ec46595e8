// brg40sim: the simulator process of the Wine tests. It holds the one bench, links its devices
// into the Wine prefix, and serves the SG_IO bridge, the update-mode pipe server and the tests.
//
//   BRG40_SIM_DIR=DIR [WINEPREFIX=PREFIX] brg40sim [--dir DIR] [--prefix PREFIX] [--port N]
// Writes DIR/port (the TCP port on 127.0.0.1) once it listens, and DIR/pid. Device files are
// DIR/devices/unitN; PREFIX/dosdevices/lptN links to one exactly while device N answers as LPTn.
// Ends on the command "shutdown", SIGTERM or SIGINT.
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sim_server.h"

namespace {

sim::SimServer* g_server = nullptr;

void on_signal(int) {
    if (g_server != nullptr) {
        g_server->stop();
    }
}

bool write_text(const std::string& path, const std::string& text) {
    const std::string temp = path + ".tmp";
    FILE* f = std::fopen(temp.c_str(), "w");
    if (f == nullptr) {
        return false;
    }
    const bool written = std::fputs(text.c_str(), f) >= 0;
    // Renamed into place so that a reader never sees a half-written number.
    return std::fclose(f) == 0 && written && std::rename(temp.c_str(), path.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    const char* env_dir = std::getenv("BRG40_SIM_DIR");
    const char* env_prefix = std::getenv("WINEPREFIX");
    std::string dir = env_dir != nullptr ? env_dir : "";
    std::string prefix = env_prefix != nullptr ? env_prefix : "";
    long port = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--dir" && i + 1 < argc) {
            dir = argv[++i];
        } else if (arg == "--prefix" && i + 1 < argc) {
            prefix = argv[++i];
        } else if (arg == "--port" && i + 1 < argc) {
            port = std::strtol(argv[++i], nullptr, 10);
        } else {
            std::fprintf(stderr, "usage: brg40sim [--dir DIR] [--prefix WINEPREFIX] [--port N]\n");
            return 2;
        }
    }
    if (dir.empty()) {
        std::fprintf(stderr, "brg40sim: set BRG40_SIM_DIR or give --dir\n");
        return 2;
    }
    sim::SimHost host(dir + "/devices", prefix);
    sim::SimServer server(host);
    if (port < 0 || port > 65535 || !server.listen(static_cast<uint16_t>(port))) {
        std::fprintf(stderr, "brg40sim: cannot listen on 127.0.0.1:%ld: %s\n", port, std::strerror(errno));
        return 1;
    }
    g_server = &server;
    // A test run that is killed outright must not leave its simulator behind.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = on_signal;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    if (!write_text(dir + "/pid", std::to_string(getpid()) + "\n") ||
        !write_text(dir + "/port", std::to_string(server.port()) + "\n")) {
        std::fprintf(stderr, "brg40sim: cannot write into %s\n", dir.c_str());
        return 1;
    }
    std::printf("brg40sim: listening on 127.0.0.1:%u, devices in %s, prefix %s\n", server.port(), dir.c_str(),
                prefix.empty() ? "(none)" : prefix.c_str());
    std::fflush(stdout);
    server.run();
    g_server = nullptr;
    std::remove((dir + "/port").c_str());
    std::printf("brg40sim: stopped\n");
    return 0;
}
