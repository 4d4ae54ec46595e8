// The simulator's normal-mode face on emulated SCSI generic nodes, for a bridge process: the
// converter (or other device) the simulator has at LPTn is /dev/sg(n-1) while it is reachable,
// and every SG_IO request on that node goes to the simulator. A converter ordered into update
// mode leaves its node, as it leaves the SCSI bus of a real machine.
#ifndef BRG40_SIM_LINUX_SG_FACE_H
#define BRG40_SIM_LINUX_SG_FACE_H

#include <umockdev.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "mock_sg.h"
#include "sim_client.h"

namespace sim {

class SgFace {
public:
    explicit SgFace(UMockdevTestbed* testbed) : m_testbed(testbed) {}
    ~SgFace() { stop(); }
    SgFace(const SgFace&) = delete;
    SgFace& operator=(const SgFace&) = delete;

    // Connects to the simulator named by the environment (sim_client.h), puts its reachable
    // devices on the bus and follows it every 20 ms on a thread of its own. False when the
    // simulator cannot be reached.
    bool start();
    // Stops following and takes every node off the bus.
    void stop();

private:
    void step();

    UMockdevTestbed* m_testbed;
    SimClient m_client;
    std::mutex m_clientMutex;                        // the client serves the follower and the ioctl handler's thread
    std::map<int, std::unique_ptr<MockSg>> m_nodes;  // by LPT number, kept once made (see MockSg)
    std::atomic<bool> m_running{false};
    std::thread m_thread;
};

}  // namespace sim

#endif
