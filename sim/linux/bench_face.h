// The simulator's bench on an emulated machine, for a bridge process: each unit in normal mode is
// a SCSI generic node below its USB device (unit n is /dev/sg(n-1)), each unit in update mode is
// the update-mode USB device at the same port, and every request goes to the simulator. A unit
// that switches leaves the bus in one mode before it arrives in the other, as it re-enumerates on
// a real machine.
#ifndef BRG40_SIM_LINUX_BENCH_FACE_H
#define BRG40_SIM_LINUX_BENCH_FACE_H

#include <umockdev.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "face_link.h"
#include "mock_sg.h"
#include "mock_usb.h"

namespace sim {

// One lock around every call of a link that is not synchronised (a simulator connection), as the
// follower and umockdev's handler thread both reach it.
class SerialLink : public FaceLink {
public:
    explicit SerialLink(FaceLink& inner) : m_inner(inner) {}
    bool state(wire::BenchState& out) override;
    bool scsi(int lpt, const ScsiRequest& request, ScsiReply& reply) override;
    void pipe_write(int lpt, const uint8_t* data, size_t size) override;
    size_t pipe_read(int lpt, uint8_t* out, size_t size) override;

private:
    FaceLink& m_inner;
    std::mutex m_mutex;
};

class BenchFace {
public:
    // link must be synchronised (SerialLink) and outlive this object, as must the testbed.
    BenchFace(UMockdevTestbed* testbed, FaceLink& link) : m_testbed(testbed), m_link(link) {}
    ~BenchFace() { stop(); }
    BenchFace(const BenchFace&) = delete;
    BenchFace& operator=(const BenchFace&) = delete;

    // One look at the bench: every unit's devices brought in line with its mode. False when the
    // simulator is gone.
    bool step();
    // A step now (the devices are there before a program under test starts), then one every
    // 20 ms on a thread of its own, until stop().
    bool start();
    void stop();

    // Unit lpt's update-mode device, once it has been made (for the tests); else null.
    MockUsb* usb(int lpt);

private:
    UMockdevTestbed* m_testbed;
    FaceLink& m_link;
    std::mutex m_mutex;                              // step() and usb()
    std::map<int, std::unique_ptr<MockSg>> m_nodes;  // by unit, kept once made (see MockSg)
    std::map<int, std::unique_ptr<MockUsb>> m_usb;   // by unit; made again when its place changes
    std::atomic<bool> m_running{false};
    std::thread m_thread;
};

}  // namespace sim

#endif
