// The simulator process's bench: requests of the binary operations, the LPT links in the Wine
// prefix (a link exists exactly while its device answers as LPTn) and the timed event log.
#include "sim_host.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace sim {

namespace {

std::string hex_byte(uint8_t b) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", b);
    return text;
}

// Makes the file that stands for a device, once: Wine keeps its SG_IO state per file identity,
// so a device file is never recreated while a test run lasts. Every device file is a hard link to
// one file: Wine keeps that state for five file identities at most, and a bench has nine units
// (the interposer tells them apart by the name each was opened by).
void ensure_file(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) == 0) {
        return;
    }
    const std::string shared = path.substr(0, path.rfind('/') + 1) + "units";
    if (stat(shared.c_str(), &st) != 0) {
        if (FILE* f = std::fopen(shared.c_str(), "w")) {
            std::fclose(f);
        }
    }
    link(shared.c_str(), path.c_str());
}

}  // namespace

SimHost::SimHost(std::string device_dir, std::string prefix)
    : device_dir_(std::move(device_dir)), prefix_(std::move(prefix)) {
    mkdir(device_dir_.c_str(), 0755);
    if (char* real = realpath(device_dir_.c_str(), nullptr)) {
        device_dir_ = real;  // the bridge recognises device files by their canonical path
        free(real);
    }
    // The bench starts empty: no link of an earlier bench (or of Wine's defaults) may remain.
    if (!prefix_.empty()) {
        for (int n = 1; n <= 9; ++n) {
            const std::string link = prefix_ + "/dosdevices/lpt" + std::to_string(n);
            unlink(link.c_str());
        }
    }
    note("start");
}

std::string SimHost::device_file(int lpt) const {
    return device_dir_ + "/unit" + std::to_string(lpt);
}

void SimHost::note(const std::string& event) {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const long long us = std::chrono::duration_cast<std::chrono::microseconds>(now).count();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%lld.%06lld ", us / 1000000, us % 1000000);
    events_.push_back(stamp + event);
}

void SimHost::sync() {
    wire::BenchState now;
    now.generation = state_.generation;
    for (int n : bench_.numbers()) {
        if (bench_.at(n) != nullptr) {
            now.lpt_mask = static_cast<uint16_t>(now.lpt_mask | 1u << n);
        }
        if (bench_.update_device(n) != nullptr) {
            now.update_mask = static_cast<uint16_t>(now.update_mask | 1u << n);
        }
        const Converter* device = bench_.device(n);
        now.units.push_back({static_cast<uint8_t>(n), device->usb().port, device->serial_now(),
                             device->identity().vendor, device->identity().product});
    }
    const auto same_units = [&] {
        if (now.units.size() != state_.units.size()) {
            return false;
        }
        for (size_t i = 0; i < now.units.size(); ++i) {
            const wire::UnitState &a = now.units[i], &b = state_.units[i];
            if (a.lpt != b.lpt || a.port != b.port || a.serial != b.serial) {
                return false;
            }
        }
        return true;
    };
    if (now.lpt_mask == state_.lpt_mask && now.update_mask == state_.update_mask && same_units()) {
        return;
    }
    for (int n = 1; n <= 9; ++n) {
        const bool wanted = (now.lpt_mask >> n & 1) != 0;
        if (wanted == ((state_.lpt_mask >> n & 1) != 0)) {
            continue;
        }
        const std::string file = device_file(n);
        if (wanted) {
            ensure_file(file);
        }
        link_device(n, wanted);
    }
    ++now.generation;
    state_ = now;
    note("state generation=" + std::to_string(state_.generation) + " lpt=" + numbers_of(state_.lpt_mask) +
         " update=" + numbers_of(state_.update_mask));
}

void SimHost::link_device(int n, bool present) {
    if (prefix_.empty()) {
        return;
    }
    const std::string link = prefix_ + "/dosdevices/lpt" + std::to_string(n);
    unlink(link.c_str());
    if (!present) {
        return;
    }
    // A folder does not open as a device: CreateFile fails with access denied.
    const std::string denied = device_dir_ + "/denied";
    mkdir(denied.c_str(), 0755);
    const std::string target = (denied_mask_ >> n & 1) != 0 ? denied : device_file(n);
    if (symlink(target.c_str(), link.c_str()) != 0) {
        note("error: cannot link " + link + ": " + std::strerror(errno));
    }
}

void SimHost::deny(int lpt, bool denied) {
    denied_mask_ = static_cast<uint16_t>(denied ? denied_mask_ | 1u << lpt : denied_mask_ & ~(1u << lpt));
    link_device(lpt, (state_.lpt_mask >> lpt & 1) != 0);
    note(std::string(denied ? "deny" : "grant") + " lpt" + std::to_string(lpt));
}

std::string numbers_of(uint16_t mask) {
    std::string out;
    for (int n = 1; n <= 9; ++n) {
        if (mask >> n & 1) {
            out += (out.empty() ? "" : ",") + std::to_string(n);
        }
    }
    return out.empty() ? "-" : out;
}

wire::ScsiOutcome SimHost::scsi(const wire::ScsiCall& call) {
    wire::ScsiOutcome outcome;
    outcome.has_data = call.has_data;
    outcome.data = call.data;
    outcome.data.resize(call.has_data ? call.request.transfer_length : 0);
    std::string event = "lpt" + std::to_string(call.lpt) + " scsi " + hex_byte(call.request.cdb[0]);
    Converter* device = call.lpt >= 1 && call.lpt <= 9 ? bench_.device(call.lpt) : nullptr;
    if (!call.block_error.empty()) {
        // The block never reaches the device: the driver would refuse it.
        bridge_errors_.push_back("lpt" + std::to_string(call.lpt) + " " + hex_byte(call.request.cdb[0]) + ": " +
                                 call.block_error);
        outcome.reply.os_error = BRG40_ERROR_INVALID_PARAMETER;
    } else if (device == nullptr) {
        outcome.reply.os_error = BRG40_ERROR_GEN_FAILURE;  // the device went away under an open handle
    } else {
        ScsiRequest request = call.request;
        request.data = call.has_data ? outcome.data.data() : nullptr;
        if (call.has_data && outcome.data.empty()) {
            static uint8_t empty_buffer[1];  // a data pointer with no bytes to move
            request.data = empty_buffer;
        }
        outcome.reply = device->scsi(request);
    }
    const ScsiReply& r = outcome.reply;
    if (r.os_error != 0) {
        event += " -> oserror " + std::to_string(r.os_error);
    } else if ((r.sense[2] & 0x0F) != 0) {
        event += " -> sense " + hex_byte(r.sense[2] & 0x0F) + "/" + hex_byte(r.sense[12]) + "/" + hex_byte(r.sense[13]);
    } else {
        event += " -> ok";
    }
    note(event);
    sync();
    return outcome;
}

bool SimHost::pipe_write(int lpt, const uint8_t* data, size_t size) {
    Converter* device = lpt >= 1 && lpt <= 9 ? bench_.update_device(lpt) : nullptr;
    std::string event = "lpt" + std::to_string(lpt) + " pipe-write " + std::to_string(size);
    if (size > 0) {
        event += " " + hex_byte(data[0]);
    }
    if (device == nullptr) {
        note(event + " -> no device");
        return false;
    }
    device->pipe_write(data, size);
    note(event);
    sync();
    return true;
}

bool SimHost::pipe_read(int lpt, uint8_t* out, size_t size, size_t& got) {
    got = 0;
    Converter* device = lpt >= 1 && lpt <= 9 ? bench_.update_device(lpt) : nullptr;
    const std::string event = "lpt" + std::to_string(lpt) + " pipe-read " + std::to_string(size);
    if (device == nullptr) {
        note(event + " -> no device");
        return false;
    }
    got = device->pipe_read(out, size);
    note(event + " -> " + std::to_string(got));
    sync();
    return true;
}

std::vector<std::string> split_words(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false;
    bool in_word = false;
    for (const char c : line) {
        if (c == '"') {
            quoted = !quoted;
            in_word = true;
        } else if (!quoted && (c == ' ' || c == '\t' || c == '\n' || c == '\r')) {
            if (in_word) {
                words.push_back(word);
                word.clear();
                in_word = false;
            }
        } else {
            word += c;
            in_word = true;
        }
    }
    if (in_word) {
        words.push_back(word);
    }
    return words;
}

}  // namespace sim
