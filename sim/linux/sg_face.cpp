// The normal-mode face of a bridge process on emulated SCSI generic nodes.
#include "sg_face.h"

#include <chrono>

namespace sim {

bool SgFace::start() {
    if (m_running) {
        return true;
    }
    if (!m_client.connect_from_env()) {
        return false;
    }
    step();  // the devices are there before the program under test starts
    m_running = true;
    m_thread = std::thread([this] {
        while (m_running) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            step();
        }
    });
    return true;
}

void SgFace::stop() {
    m_running = false;
    if (m_thread.joinable()) {
        m_thread.join();
    }
    m_nodes.clear();
}

void SgFace::step() {
    wire::BenchState state;
    {
        std::lock_guard<std::mutex> lock(m_clientMutex);
        if (!m_client.state(state)) {
            return;
        }
    }
    for (int lpt = 1; lpt <= 9; ++lpt) {
        const bool reachable = (state.lpt_mask >> lpt & 1) != 0;
        auto node = m_nodes.find(lpt);
        if (node == m_nodes.end()) {
            if (reachable) {
                m_nodes[lpt].reset(new MockSg(m_testbed, lpt - 1, [this, lpt](const ScsiRequest& r, ScsiReply& reply) {
                    std::lock_guard<std::mutex> lock(m_clientMutex);
                    return m_client.scsi(lpt, r, reply);
                }));
            }
        } else if (reachable) {
            node->second->arrive();
        } else {
            node->second->leave();
        }
    }
}

}  // namespace sim
