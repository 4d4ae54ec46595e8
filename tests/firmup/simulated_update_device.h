// The converter in update mode as the tests reach it: the simulated converter ordered into update
// mode, and an update pipe that carries the tool's transfers to it (and records them when asked).
#ifndef BRG40_TESTS_SIMULATED_UPDATE_DEVICE_H
#define BRG40_TESTS_SIMULATED_UPDATE_DEVICE_H

#include <cstdint>
#include <string>
#include <vector>

#include "converter.h"
#include "update_pipe.h"

// A converter that has been ordered into update mode (command 254 on its normal-mode face). Its
// flash holds an intact image of version major.minor with the device's own preserved block.
class UpdateDevice {
public:
    explicit UpdateDevice(uint8_t major = 1, uint8_t minor = 4, uint32_t serial = 1);
    UpdateDevice(const UpdateDevice&) = delete;
    UpdateDevice& operator=(const UpdateDevice&) = delete;

    // Reachable through the update-mode pipes: plugged in and still in update mode.
    bool reachable() { return converter_.plugged() && converter_.mode() == sim::Mode::Update; }
    bool update_mode() { return converter_.mode() == sim::Mode::Update; }
    void unplug() { converter_.unplug(); }
    // Command 254 again, as the tool's next start gives it to a converter back in normal mode.
    void order_update_mode();
    // The name the pipe reports for this device (from its serial).
    const std::string& id() const { return id_; }

    sim::Converter& converter() { return converter_; }
    sim::Flash& flash() { return converter_.flash(); }
    sim::Loader& loader() { return converter_.loader(); }
    std::vector<uint8_t> preserved_value() const { return converter_.preserved_value(); }
    std::vector<uint8_t> flash_bytes(uint32_t address, uint32_t count);
    // The version the normal-mode face reports (command 218); 0xFFFF when it does not answer.
    uint16_t reported_version();

private:
    sim::Converter converter_;
    std::string id_;
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
    std::string DeviceId() override;

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
