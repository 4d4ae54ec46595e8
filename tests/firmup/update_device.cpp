// The tests' update-mode converter and the update pipe to it.
#include "update_device.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <unistd.h>

#include "image_gen.h"

UpdateDevice::UpdateDevice(uint8_t major, uint8_t minor, uint32_t serial) {
    flash_.bytes.fill(0xFF);
    sim::ImageSpec spec;
    spec.major = major;
    spec.minor = minor;
    spec.seed = 1000 + serial;
    const std::vector<uint8_t> image = sim::make_image(spec);
    std::copy(image.begin(), image.end(), flash_.bytes.begin() + sim::kAppStart);
    for (uint32_t i = 0; i < 16; ++i) {
        preserved_.push_back(static_cast<uint8_t>(0x40 + serial * 16 + i));
    }
    std::copy(preserved_.begin(), preserved_.end(), flash_.bytes.begin() + sim::kPreservedAddress);
    const uint16_t sum = flash_.computed_checksum();  // sealed as a programming run leaves it
    flash_.bytes[0x5FF8] = static_cast<uint8_t>(sum & 0xFF);
    flash_.bytes[0x5FF9] = static_cast<uint8_t>(sum >> 8);
}

void UpdateDevice::pipe_write(const uint8_t* data, size_t size) {
    loader_.write(data, size);
    if (loader_.close_requested()) {
        // The device restarts: with a sound image it runs it; otherwise its loader comes back.
        update_mode_ = !flash_.image_intact();
        loader_.start_session();
    }
}

size_t UpdateDevice::pipe_read(uint8_t* out, size_t size) {
    return loader_.read(out, size);
}

std::vector<uint8_t> UpdateDevice::flash_bytes(uint32_t address, uint32_t count) const {
    return std::vector<uint8_t>(flash_.bytes.begin() + address, flash_.bytes.begin() + address + count);
}

int DevicePipe::Write(const uint8_t* data, uint32_t size) {
    if (record) {
        ops.push_back({true, std::vector<uint8_t>(data, data + size), size});
    }
    if (!device_.reachable()) {
        return -1;  // the pipe does not open; nothing is sent
    }
    device_.pipe_write(data, size);
    return 1;
}

int DevicePipe::Read(uint8_t* data, uint32_t size) {
    if (record) {
        ops.push_back({false, {}, size});
    }
    if (!device_.reachable()) {
        return -1;  // the buffer stays as the caller left it
    }
    device_.pipe_read(data, size);
    return 1;
}

TempFile::TempFile(const std::vector<uint8_t>& bytes) {
    static std::atomic<int> counter{0};
    path_ = testing::TempDir() + "brg40_firmup_" + std::to_string(getpid()) + "_" + std::to_string(counter++) + ".fwu";
    EXPECT_TRUE(sim::write_file(path_.c_str(), bytes)) << path_;
}

TempFile::~TempFile() {
    std::remove(path_.c_str());
}
