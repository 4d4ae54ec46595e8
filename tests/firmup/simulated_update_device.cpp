// The tests' update-mode converter and the update pipe to it.
#include "simulated_update_device.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <unistd.h>

#include "image_gen.h"
#include "scsi.h"

namespace {

sim::ScsiRequest Command(uint8_t code, sim::Direction direction, uint32_t length, uint32_t timeout, uint8_t* data) {
    sim::ScsiRequest request;
    request.cdb[0] = code;
    request.cdb[8] = static_cast<uint8_t>(length);
    request.cdb_length = 10;
    request.direction = direction;
    request.transfer_length = length;
    request.timeout_s = timeout;
    request.data = data;
    return request;
}

}  // namespace

UpdateDevice::UpdateDevice(uint8_t major, uint8_t minor, uint32_t serial)
    : converter_(sim::Identity{}, major, minor, serial), id_("usb#vid_1f3a&pid_0c21#sim" + std::to_string(serial)) {
    order_update_mode();
}

void UpdateDevice::order_update_mode() {
    const sim::ScsiReply reply = converter_.scsi(Command(254, sim::Direction::Out, 0, 10, nullptr));
    EXPECT_EQ(reply.os_error, 0u);
    EXPECT_EQ(converter_.mode(), sim::Mode::Update);
}

std::vector<uint8_t> UpdateDevice::flash_bytes(uint32_t address, uint32_t count) {
    const auto& bytes = converter_.flash().bytes;
    return std::vector<uint8_t>(bytes.begin() + address, bytes.begin() + address + count);
}

uint16_t UpdateDevice::reported_version() {
    uint8_t data[4] = {};
    const sim::ScsiReply reply = converter_.scsi(Command(218, sim::Direction::In, 4, 5, data));
    const bool sense = reply.sense[2] != 0 || reply.sense[12] != 0;
    return reply.os_error || sense ? 0xFFFF : static_cast<uint16_t>(data[2] << 8 | data[3]);
}

int DevicePipe::Write(const uint8_t* data, uint32_t size) {
    if (record) {
        ops.push_back({true, std::vector<uint8_t>(data, data + size), size});
    }
    if (!device_.reachable()) {
        return -1;  // the pipe does not open; nothing is sent
    }
    device_.converter().pipe_write(data, size);
    return 1;
}

int DevicePipe::Read(uint8_t* data, uint32_t size) {
    if (record) {
        ops.push_back({false, {}, size});
    }
    if (!device_.reachable()) {
        return -1;  // the buffer stays as the caller left it
    }
    return static_cast<int>(device_.converter().pipe_read(data, size));
}

std::string DevicePipe::DeviceId() {
    return device_.reachable() ? device_.id() : std::string();
}

TempFile::TempFile(const std::vector<uint8_t>& bytes) {
    static std::atomic<int> counter{0};
    path_ = testing::TempDir() + "brg40_firmup_" + std::to_string(getpid()) + "_" + std::to_string(counter++) + ".fwu";
    EXPECT_TRUE(sim::write_file(path_.c_str(), bytes)) << path_;
}

TempFile::~TempFile() {
    std::remove(path_.c_str());
}
