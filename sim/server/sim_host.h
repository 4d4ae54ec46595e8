// The one simulated bench of a Wine test run, as the simulator process holds it: the device
// model, its LPT links in the Wine prefix, the event log with times, and the text commands.
#ifndef BRG40_SIM_HOST_H
#define BRG40_SIM_HOST_H

#include <cstdint>
#include <string>
#include <vector>

#include "../converter.h"
#include "wire.h"

namespace sim {

class SimHost {
public:
    // device_dir: where the plain files that stand for LPT devices live (created when missing).
    // prefix: the Wine prefix whose dosdevices/lptN links follow the bench; "" for none.
    SimHost(std::string device_dir, std::string prefix);

    Bench& bench() { return bench_; }

    // Requests of the binary operations. Each one is followed by a resync of the links.
    wire::ScsiOutcome scsi(const wire::ScsiCall& call);
    bool pipe_write(int lpt, const uint8_t* data, size_t size);
    bool pipe_read(int lpt, uint8_t* out, size_t size, size_t& got);
    wire::BenchState state() const { return state_; }

    // One text command (see `help`). The answer's first line is "ok" or "error: ...".
    std::string command(const std::string& line);
    bool shutdown_requested() const { return shutdown_; }

    // The file that stands for device LPTn.
    std::string device_file(int lpt) const;
    const std::vector<std::string>& bridge_errors() const { return bridge_errors_; }

    // Brings the dosdevices links and the state counter in line with the bench.
    void sync();

    // Under Wine: LPTn opens with access denied (error 5), as for a program that is not
    // elevated, while denied; its link then names a folder.
    void deny(int lpt, bool denied);

private:
    void note(const std::string& event);      // appends to the event log with the time
    void link_device(int lpt, bool present);  // the dosdevices link of LPTn

    Bench bench_;
    std::string device_dir_;
    std::string prefix_;
    wire::BenchState state_;
    std::vector<std::string> bridge_errors_;
    std::vector<std::string> events_;
    bool shutdown_ = false;
    uint16_t denied_mask_ = 0;

    friend struct Commands;
};

// "1,3,5" for the numbers whose bits are set in mask; "-" for none.
std::string numbers_of(uint16_t mask);

// Splits a command line into words; "double quotes" keep spaces inside one word (and may
// stand inside it: product="USB-SPI/I2C Cnv.").
std::vector<std::string> split_words(const std::string& line);

}  // namespace sim

#endif
