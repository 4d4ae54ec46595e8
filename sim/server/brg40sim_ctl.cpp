// brg40sim-ctl: sends one text command to the running simulator and prints the answer.
//   brg40sim-ctl [--port N] COMMAND [ARGS...]      (e.g. brg40sim-ctl attach 3 version=1.04)
// The simulator is found through BRG40_SIM_PORT or BRG40_SIM_DIR unless --port is given.
// Exit status: 0 when the answer starts with "ok", 1 for "error: ...", 2 when no simulator answers.
// The first line ("ok") is not printed, so scripts read the details directly.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "sim_client.h"

int main(int argc, char** argv) {
    int first = 1;
    long port = 0;
    if (argc > 2 && std::string(argv[1]) == "--port") {
        port = std::strtol(argv[2], nullptr, 10);
        first = 3;
    }
    if (first >= argc) {
        std::fprintf(stderr, "usage: brg40sim-ctl [--port N] COMMAND [ARGS...]   (brg40sim-ctl help)\n");
        return 2;
    }
    std::string line;
    for (int i = first; i < argc; ++i) {
        const std::string word = argv[i];
        const bool quote = word.find(' ') != std::string::npos || word.empty();
        line += (i > first ? " " : "") + (quote ? "\"" + word + "\"" : word);
    }
    sim::SimClient client;
    const bool connected =
        port > 0 && port < 65536 ? client.connect(static_cast<uint16_t>(port)) : client.connect_from_env();
    if (!connected) {
        std::fprintf(stderr, "brg40sim-ctl: no simulator (BRG40_SIM_PORT / BRG40_SIM_DIR)\n");
        return 2;
    }
    const std::string answer = client.command(line);
    if (answer.empty()) {
        std::fprintf(stderr, "brg40sim-ctl: the simulator closed the connection\n");
        return 2;
    }
    if (answer.compare(0, 2, "ok") == 0) {
        const size_t newline = answer.find('\n');
        if (newline != std::string::npos) {
            std::printf("%s\n", answer.c_str() + newline + 1);
        }
        return 0;
    }
    std::fprintf(stderr, "brg40sim-ctl: %s\n", answer.c_str());
    return 1;
}
