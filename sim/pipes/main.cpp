// brg40sim-pipes: the simulated converter's update-mode face under Wine. While the simulator holds a
// converter in update mode, its interface is present (registry entries and object-manager link) and
// PIPE00 / PIPE01 carry blocks to and from its loader; when it leaves update mode or is unplugged,
// the interface goes. Ends, removing its entries, when the simulator ends.
//
// Usage: brg40sim-pipes.exe [--ready-file WINDOWS-PATH]   (simulator from BRG40_SIM_PORT / BRG40_SIM_DIR)
#include <windows.h>

#include <cstdio>
#include <cstring>
#include "link_lock.h"

#include "client_link.h"
#include "interface_entry.h"
#include "pipe_server.h"
#include "sim_client.h"

namespace {

constexpr DWORD kPollMs = 5;  // how often the simulator's state is looked at

void say(const char* event) {
    std::printf("brg40sim-pipes: %s\n", event);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const char* ready_file = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--ready-file") == 0 && i + 1 < argc) {
            ready_file = argv[++i];
        } else {
            std::fprintf(stderr, "usage: brg40sim-pipes.exe [--ready-file PATH]\n");
            return 2;
        }
    }

    sim::SimClient client;
    if (!client.connect_from_env()) {
        std::fprintf(stderr, "brg40sim-pipes: no simulator (BRG40_SIM_PORT / BRG40_SIM_DIR)\n");
        return 1;
    }
    sim::LinkLock lock;
    sim::ClientLink link(client);
    sim::InterfaceEntry entry;
    entry.erase_class();  // whatever an earlier run left behind
    sim::PipeServer server(link, lock);
    if (!server.start()) {
        return 1;
    }
    if (ready_file != nullptr) {
        HANDLE file = CreateFileA(ready_file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
        }
    }
    say("ready");

    bool show_failed = false;
    for (;;) {
        bool present;
        bool alive;
        {
            sim::Locked guard(lock);
            present = link.update_device_present();
            alive = link.alive();
        }
        if (!alive) {
            break;
        }
        if (present && !entry.shown() && !show_failed) {
            show_failed = !entry.show();  // tried once per arrival; the reason is on stderr
            say(show_failed ? "update-mode device could not be shown" : "update-mode device present");
        } else if (!present) {
            show_failed = false;
            if (entry.shown()) {
                entry.hide();
                say("update-mode device gone");
            }
        }
        Sleep(kPollMs);
    }
    entry.erase_class();
    say("simulator gone; entries removed");
    std::printf("brg40sim-pipes: %lu blocks written, %lu replies read\n", server.blocks_written(),
                server.replies_read());
    return 0;
}
