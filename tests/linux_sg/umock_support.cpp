// The test support of the library suites (sim_os.h) for the library's real Linux seam: the bench's
// devices are SCSI generic nodes in a umockdev testbed (LPTn is /dev/sg(n-1), present while a
// device is attached there, below a SCSI device with its vendor and model and the USB device at
// its port), and every request the library sends reaches them through the kernel interface
// that umockdev emulates. The library itself runs unchanged.
#include <dirent.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <memory>
#include <set>
#include <thread>

#include "mock_sg.h"
#include "sim_os.h"
#include "umock_nodes.h"

namespace support {

namespace {

struct State {
    std::mutex mutex;  // the bench, as in the Windows test seam
    std::unique_ptr<sim::Bench> bench{new sim::Bench};
    UMockdevTestbed* testbed = nullptr;
    std::unique_ptr<sim::MockSg> nodes[9];
    std::set<std::string> first_tasks;  // the threads that ran once the testbed had started
};

State& state() {
    static State* s = new State;  // lives until the process ends: the testbed's threads use it
    return *s;
}

std::string thread_name(const std::string& task) {
    std::ifstream in("/proc/self/task/" + task + "/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

std::set<std::string> tasks() {
    std::set<std::string> out;
    if (DIR* dir = opendir("/proc/self/task")) {
        while (const dirent* e = readdir(dir)) {
            if (e->d_name[0] != '.') {
                out.insert(e->d_name);
            }
        }
        closedir(dir);
    }
    return out;
}

// The library's workers: threads that came after the testbed's and carry the program's own name.
// Known by their ids, not their names alone: GLib names its threads from inside them, so one of
// the testbed's may still carry the program's name for a while after it started.
size_t worker_count() {
    const std::string own = thread_name(std::to_string(getpid()));
    size_t n = 0;
    for (const std::string& task : tasks()) {
        n += state().first_tasks.count(task) == 0 && thread_name(task) == own;
    }
    return n;
}

// The request as the device at lpt receives it; false (ENODEV) when none is attached.
bool answer(int lpt, const sim::ScsiRequest& request, sim::ScsiReply& reply) {
    std::lock_guard<std::mutex> guard(state().mutex);
    sim::Converter* c = state().bench->device(lpt);
    if (c == nullptr) {
        return false;
    }
    reply = c->scsi(request);
    return true;
}

// The nodes follow the bench: a node below a SCSI device that says what is attached at its LPT
// number, at the device's own USB port; no node where nothing is attached.
void follow_bench() {
    State& s = state();
    for (int lpt = 1; lpt <= 9; ++lpt) {
        const sim::Converter* c = s.bench->device(lpt);
        sim::MockSg& node = *s.nodes[lpt - 1];
        node.leave();  // it may be another device now
        if (c != nullptr) {
            node.arrive(sim::SgPlace{c->usb().port, c->usb().serial, c->identity().vendor, c->identity().product});
        }
    }
}

}  // namespace

sim::Bench& bench() {
    return *state().bench;
}

UMockdevTestbed* testbed() {
    return state().testbed;
}

sim::MockSg& node(int lpt) {
    return *state().nodes[lpt - 1];
}

std::unique_lock<std::mutex> lock() {
    return std::unique_lock<std::mutex>(state().mutex);
}

void reset() {
    State& s = state();
    if (s.testbed == nullptr) {
        s.testbed = umockdev_testbed_new();
        // The nodes' handlers now, so that umockdev's own threads are there before they are noted.
        for (int lpt = 1; lpt <= 9; ++lpt) {
            s.nodes[lpt - 1].reset(new sim::MockSg(
                s.testbed, lpt - 1, sim::SgPlace{},
                [lpt](const sim::ScsiRequest& r, sim::ScsiReply& reply) { return answer(lpt, r, reply); }, false));
        }
        s.first_tasks = tasks();
    }
    std::lock_guard<std::mutex> guard(s.mutex);
    s.bench.reset(new sim::Bench);
    for (auto& node : s.nodes) {
        node->clear_faults();  // what a test left unused
    }
    s.bench->changed = follow_bench;
    follow_bench();
}

// The library's workers are detached threads: waits (5 s at most) until none runs.
size_t join_threads() {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (worker_count() > 0 && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return 0;
}

bool buffers_arrive_in_place() {
    return false;
}

// The kernel builds the request from the library's header; there is no block to check.
std::vector<std::string> block_errors() {
    return {};
}

}  // namespace support
