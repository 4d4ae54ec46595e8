// brg40sim-pipes: the simulated converters' update-mode faces under Wine. While the simulator holds
// a unit in update mode, its interface is present (registry entries and an object-manager link)
// and its PIPE00 / PIPE01 carry blocks to and from its loader; when it leaves update mode or is
// unplugged, the interface goes. Each unit has a folder of pipes of its own ("brg40sim-<n>"), so
// several units can be in update mode at once. The interface's instance is the unit's serial, or,
// for a device that reports none in update mode, a name made from its port as Windows makes one.
// Ends, removing its entries, when the simulator ends.
//
// Usage: brg40sim-pipes.exe [--ready-file WINDOWS-PATH]   (simulator from BRG40_SIM_PORT / BRG40_SIM_DIR)
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "client_link.h"
#include "interface_entry.h"
#include "link_lock.h"
#include "pipe_server.h"
#include "sim_client.h"

namespace {

constexpr DWORD kPollMs = 5;  // how often the simulator's state is looked at

void say(const char* event) {
    std::printf("brg40sim-pipes: %s\n", event);
    std::fflush(stdout);
}

// The instance part of a unit's interface: its serial, or Windows' kind of name for a device
// without one ("5&...&0&<port>").
std::string InstanceOf(const sim::wire::UnitState& unit) {
    return unit.serial.empty() ? "5&1F3A0C21&0&" + unit.port : unit.serial;
}

struct UnitFace {
    std::string instance;
    std::unique_ptr<sim::InterfaceEntry> entry;
    std::unique_ptr<sim::PipeServer> server;  // lives as long as the process (its threads do)
    bool show_failed = false;
};

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
    sim::InterfaceEntry().erase_class();  // whatever an earlier run left behind
    if (ready_file != nullptr) {
        HANDLE file = CreateFileA(ready_file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
        }
    }
    say("ready");

    std::map<int, UnitFace> units;
    unsigned long written = 0, read = 0;
    for (;;) {
        sim::wire::BenchState state;
        bool alive;
        {
            sim::Locked guard(lock);
            alive = link.state(state);
        }
        if (!alive) {
            break;
        }
        for (auto& entry : units) {
            const sim::wire::UnitState* unit = state.unit(entry.first);
            UnitFace& face = entry.second;
            const bool stays =
                unit != nullptr && state.in_update_mode(entry.first) && InstanceOf(*unit) == face.instance;
            if (!stays && face.entry && face.entry->shown()) {
                face.entry->erase();  // gone from the bus: Linked = 0, no link, no keys
                say(("update-mode device of unit " + std::to_string(entry.first) + " gone").c_str());
            }
            face.show_failed = face.show_failed && stays;
        }
        for (const sim::wire::UnitState& unit : state.units) {
            // The pipes from the unit's attach on, so that a path that leads to them opens whatever
            // mode the unit is in (a transfer then reaches no loader).
            UnitFace& face = units[unit.lpt];
            const std::string folder = "brg40sim-" + std::to_string(unit.lpt);
            if (!face.server) {
                face.server.reset(new sim::PipeServer(link, lock, unit.lpt, folder));
                if (!face.server->start()) {
                    return 1;
                }
            }
            if (!state.in_update_mode(unit.lpt)) {
                continue;
            }
            if (face.instance != InstanceOf(unit) || !face.entry) {
                face.instance = InstanceOf(unit);
                face.entry.reset(new sim::InterfaceEntry(face.instance, folder));
            }
            if (!face.entry->shown() && !face.show_failed) {
                face.show_failed = !face.entry->show();  // tried once per arrival; the reason is on stderr
                say(("update-mode device of unit " + std::to_string(unit.lpt) +
                     (face.show_failed ? " could not be shown" : " present: " + face.entry->device_path()))
                        .c_str());
            }
        }
        Sleep(kPollMs);
    }
    for (auto& entry : units) {
        if (entry.second.server) {
            written += entry.second.server->blocks_written();
            read += entry.second.server->replies_read();
        }
    }
    sim::InterfaceEntry().erase_class();
    say("simulator gone; entries removed");
    std::printf("brg40sim-pipes: %lu blocks written, %lu replies read\n", written, read);
    return 0;
}
