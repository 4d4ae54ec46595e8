// The converter in update mode as the tests reach it: the simulated loader over its flash, and an
// update pipe that carries the tool's transfers to it (and records them when asked).
#ifndef BRG40_TESTS_UPDATE_DEVICE_H
#define BRG40_TESTS_UPDATE_DEVICE_H

#include <cstdint>
#include <string>
#include <vector>

#include "flash.h"
#include "loader.h"
#include "update_pipe.h"

// A converter that has been ordered into update mode. Its flash holds an intact image of version
// major.minor with the device's own preserved block (made from serial) at 0x005FE0.
class UpdateDevice {
public:
    explicit UpdateDevice(uint8_t major = 1, uint8_t minor = 4, uint32_t serial = 1);
    UpdateDevice(const UpdateDevice&) = delete;
    UpdateDevice& operator=(const UpdateDevice&) = delete;

    void pipe_write(const uint8_t* data, size_t size);
    size_t pipe_read(uint8_t* out, size_t size);

    // Reachable through the update-mode pipes: plugged in and still in update mode.
    bool reachable() const { return plugged_ && update_mode_; }
    bool update_mode() const { return update_mode_; }
    void unplug() { plugged_ = false; }

    sim::Flash& flash() { return flash_; }
    sim::Loader& loader() { return loader_; }
    const std::vector<uint8_t>& preserved_value() const { return preserved_; }
    std::vector<uint8_t> flash_bytes(uint32_t address, uint32_t count) const;

private:
    sim::Flash flash_;
    sim::Loader loader_{flash_};
    std::vector<uint8_t> preserved_;
    bool update_mode_ = true;
    bool plugged_ = true;
};

// One transfer as the tool made it.
struct PipeOp {
    bool write;
    std::vector<uint8_t> bytes;  // write: what was sent
    uint32_t size;               // the count handed over
};

class DevicePipe : public UpdatePipe {
public:
    explicit DevicePipe(UpdateDevice& device) : device_(device) {}
    int Write(const uint8_t* data, uint32_t size) override;
    int Read(uint8_t* data, uint32_t size) override;

    bool record = true;
    std::vector<PipeOp> ops;

private:
    UpdateDevice& device_;
};

// A file made for one test, removed again when it goes.
class TempFile {
public:
    explicit TempFile(const std::vector<uint8_t>& bytes);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const char* path() const { return path_.c_str(); }

private:
    std::string path_;
};

#endif
