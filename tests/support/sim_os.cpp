// Host implementation of the library's OS seam (lib/src/os.h) over a simulated bench: device
// names map to LPT numbers, the pass-through block is decoded and checked like a driver would,
// threads are std::threads, messages and sleeps are recorded.
#include "sim_os.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <thread>

#include "command_block.h"
#include "os.h"
#include "version.h"

namespace support {

namespace {

constexpr uint8_t kCheckCondition = 0x02;

struct State {
    std::mutex mutex;  // guards everything below but threads
    std::unique_ptr<sim::Bench> bench = std::make_unique<sim::Bench>();
    std::map<brg40::OsHandle, int> handles;  // open handle -> LPT number
    uintptr_t next_handle = 0x1000;
    std::vector<std::string> opened;
    std::vector<uint32_t> sleeps;
    std::vector<PostedMessage> messages;
    std::vector<std::string> block_errors;
    std::optional<std::string> version = std::string(BRG40_VERSION_TEXT);
    bool fail_without_error = false;

    std::mutex thread_mutex;
    std::vector<std::thread> threads;
    size_t threads_started = 0;
    bool hold_threads = false;  // new threads wait before their routine while set
    std::condition_variable released;
};

State& state() {
    static State s;
    return s;
}

// "\\.\LPTn" or "LPTn" with n 1..9; else 0.
int lpt_number(const char* name) {
    if (std::strncmp(name, "\\\\.\\", 4) == 0) {
        name += 4;
    }
    if (std::strncmp(name, "LPT", 3) != 0 || name[3] < '1' || name[3] > '9' || name[4] != '\0') {
        return 0;
    }
    return name[3] - '0';
}

std::string hex(const void* p, size_t n) {
    std::string out;
    char b[4];
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(b, sizeof b, "%02X ", static_cast<const uint8_t*>(p)[i]);
        out += b;
    }
    return out;
}

}  // namespace

sim::Bench& bench() {
    return *state().bench;
}

std::unique_lock<std::mutex> lock() {
    return std::unique_lock<std::mutex>(state().mutex);
}

void reset() {
    join_threads();
    State& s = state();
    std::lock_guard<std::mutex> guard(s.mutex);
    s.bench = std::make_unique<sim::Bench>();
    s.handles.clear();
    s.opened.clear();
    s.sleeps.clear();
    s.messages.clear();
    s.block_errors.clear();
    s.version = std::string(BRG40_VERSION_TEXT);
    s.fail_without_error = false;
    std::lock_guard<std::mutex> threads(s.thread_mutex);
    s.threads_started = 0;
}

void set_product_version(const char* text) {
    std::lock_guard<std::mutex> guard(state().mutex);
    state().version = text != nullptr ? std::optional<std::string>(text) : std::nullopt;
}

void fail_requests_without_error(bool on) {
    std::lock_guard<std::mutex> guard(state().mutex);
    state().fail_without_error = on;
}

std::vector<PostedMessage> posted_messages() {
    std::lock_guard<std::mutex> guard(state().mutex);
    return state().messages;
}

void hold_threads(bool on) {
    State& s = state();
    {
        std::lock_guard<std::mutex> guard(s.thread_mutex);
        s.hold_threads = on;
    }
    s.released.notify_all();
}

size_t join_threads() {
    State& s = state();
    hold_threads(false);
    for (;;) {
        std::vector<std::thread> running;
        {
            std::lock_guard<std::mutex> guard(s.thread_mutex);
            running.swap(s.threads);
        }
        if (running.empty()) {
            break;
        }
        for (auto& t : running) {
            t.join();
        }
    }
    std::lock_guard<std::mutex> guard(s.thread_mutex);
    return s.threads_started;
}

std::vector<std::string> opened_names() {
    std::lock_guard<std::mutex> guard(state().mutex);
    return state().opened;
}

size_t open_handle_count() {
    std::lock_guard<std::mutex> guard(state().mutex);
    return state().handles.size();
}

std::vector<uint32_t> sleeps() {
    std::lock_guard<std::mutex> guard(state().mutex);
    return state().sleeps;
}

bool buffers_arrive_in_place() {
    return true;
}

std::vector<std::string> block_errors() {
    std::lock_guard<std::mutex> guard(state().mutex);
    return state().block_errors;
}

}  // namespace support

namespace brg40 {

using support::state;

OsHandle os_open_device(const char* name, uint32_t* error) {
    auto& s = state();
    std::lock_guard<std::mutex> guard(s.mutex);
    s.opened.push_back(name);
    const int lpt = support::lpt_number(name);
    if (lpt == 0 || s.bench->at(lpt) == nullptr) {
        *error = BRG40_ERROR_FILE_NOT_FOUND;
        return nullptr;
    }
    for (const auto& h : s.handles) {
        if (h.second == lpt) {
            *error = BRG40_ERROR_SHARING_VIOLATION;  // share mode 0: one open at a time
            return nullptr;
        }
    }
    OsHandle handle = reinterpret_cast<OsHandle>(s.next_handle);
    s.next_handle += 0x10;
    s.handles[handle] = lpt;
    return handle;
}

bool os_close_device(OsHandle handle) {
    auto& s = state();
    std::lock_guard<std::mutex> guard(s.mutex);
    return s.handles.erase(handle) == 1;
}

// The bench's answer, as the Windows seam gives it: 0 for success, else the request's error.
static uint32_t pass_through(OsHandle handle, CommandBlock* block);

bool os_scsi_pass_through(OsHandle handle, CommandBlock* block, uint32_t* error) {
    {
        std::lock_guard<std::mutex> guard(state().mutex);
        if (state().fail_without_error) {
            *error = 0;  // a driver that failed the request and set no last error
            return false;
        }
    }
    *error = pass_through(handle, block);
    return *error == 0;
}

static uint32_t pass_through(OsHandle handle, CommandBlock* block) {
    auto& s = state();
    std::lock_guard<std::mutex> guard(s.mutex);
    auto open = s.handles.find(handle);
    if (open == s.handles.end()) {
        return BRG40_ERROR_INVALID_HANDLE;
    }
    const ScsiPassThroughDirect& p = block->sptd;
    // The fixed fields every request of the library carries.
    if (p.Length != sizeof(ScsiPassThroughDirect) || p.ScsiStatus != 0 || p.PathId != 0 || p.TargetId != 1 ||
        p.Lun != 0 || p.SenseInfoLength != kSenseInfoLength || p.SenseInfoOffset != kSenseInfoOffset ||
        p.DataIn > kScsiDataIn || p.CdbLength == 0 || p.CdbLength > sizeof(p.Cdb)) {
        s.block_errors.push_back("fixed fields wrong: " + support::hex(block, sizeof(ScsiPassThroughDirect)));
        return BRG40_ERROR_INVALID_PARAMETER;
    }
    // Zeroed before the request: everything but the fields set must be zero, sense area included.
    CommandBlock clean;
    std::memset(&clean, 0, sizeof clean);
    clean.sptd.Length = p.Length;
    clean.sptd.TargetId = p.TargetId;
    clean.sptd.CdbLength = p.CdbLength;
    clean.sptd.SenseInfoLength = p.SenseInfoLength;
    clean.sptd.DataIn = p.DataIn;
    clean.sptd.DataTransferLength = p.DataTransferLength;
    clean.sptd.TimeOutValue = p.TimeOutValue;
    clean.sptd.DataBuffer = p.DataBuffer;
    clean.sptd.SenseInfoOffset = p.SenseInfoOffset;
    std::memcpy(clean.sptd.Cdb, p.Cdb, p.CdbLength);

    sim::ScsiRequest request;
    std::memcpy(request.cdb, p.Cdb, sizeof request.cdb);
    request.cdb_length = p.CdbLength;
    request.direction = p.DataIn == kScsiDataIn ? sim::Direction::In : sim::Direction::Out;
    request.transfer_length = p.DataTransferLength;
    request.timeout_s = p.TimeOutValue;
    request.data = static_cast<uint8_t*>(p.DataBuffer);
    request.block_was_clean = std::memcmp(&clean, block, sizeof clean) == 0;

    sim::Converter* device = s.bench->device(open->second);
    if (device == nullptr) {
        return BRG40_ERROR_GEN_FAILURE;  // detached: the device is gone
    }
    const sim::ScsiReply reply = device->scsi(request);
    bool has_sense = false;
    for (uint8_t b : reply.sense) {
        has_sense = has_sense || b != 0;
    }
    if (has_sense) {
        // Check condition: the driver writes the sense data; on good status it leaves the area alone.
        block->sptd.ScsiStatus = support::kCheckCondition;
        std::memcpy(block->sense, reply.sense, sizeof reply.sense);
    }
    return reply.os_error;
}

bool os_start_thread(OsThreadRoutine routine, void* arg) {
    auto& s = state();
    std::lock_guard<std::mutex> guard(s.thread_mutex);
    ++s.threads_started;
    s.threads.emplace_back([routine, arg, &s] {
        {
            std::unique_lock<std::mutex> hold(s.thread_mutex);
            s.released.wait(hold, [&s] { return !s.hold_threads; });
        }
        routine(arg);
    });
    return true;
}

void os_sleep_ms(uint32_t ms) {
    {
        std::lock_guard<std::mutex> guard(state().mutex);
        state().sleeps.push_back(ms);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool os_has_window_messages() {
    return true;
}

bool os_post_message(void* window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    std::lock_guard<std::mutex> guard(state().mutex);
    state().messages.push_back({window, message, wparam, lparam});
    return true;
}

bool os_read_own_product_version(char* text, size_t size) {
    std::lock_guard<std::mutex> guard(state().mutex);
    const auto& version = state().version;
    if (!version || size == 0) {
        return false;
    }
    std::snprintf(text, size, "%s", version->c_str());
    return true;
}

}  // namespace brg40
