// The bench of a bridge process: emulated sg nodes and USB devices following the simulator.
#include "bench_face.h"

#include <chrono>

namespace sim {

bool SerialLink::state(wire::BenchState& out) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_inner.state(out);
}

bool SerialLink::scsi(int lpt, const ScsiRequest& request, ScsiReply& reply) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_inner.scsi(lpt, request, reply);
}

void SerialLink::pipe_write(int lpt, const uint8_t* data, size_t size) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_inner.pipe_write(lpt, data, size);
}

size_t SerialLink::pipe_read(int lpt, uint8_t* out, size_t size) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_inner.pipe_read(lpt, out, size);
}

bool BenchFace::step() {
    wire::BenchState state;
    if (!m_link.state(state)) {
        return false;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto unit_of = [&state](int lpt) { return state.unit(lpt); };
    // First every device that leaves, then every one that arrives: a unit that switched frees its
    // port in one mode before it takes it in the other.
    for (auto& node : m_nodes) {
        if ((state.lpt_mask >> node.first & 1) == 0) {
            node.second->leave();
        }
    }
    for (auto& usb : m_usb) {
        const wire::UnitState* unit = unit_of(usb.first);
        const bool same_place =
            unit != nullptr && unit->port == usb.second->port() && unit->serial == usb.second->serial();
        if (!state.in_update_mode(usb.first) || !same_place) {
            usb.second->unplug();
        }
    }
    for (const wire::UnitState& unit : state.units) {
        const int lpt = unit.lpt;
        if ((state.lpt_mask >> lpt & 1) != 0) {
            SgPlace place{unit.port, unit.serial, unit.vendor, unit.product};
            auto node = m_nodes.find(lpt);
            if (node == m_nodes.end()) {
                m_nodes[lpt].reset(new MockSg(
                    m_testbed, lpt - 1, place,
                    [this, lpt](const ScsiRequest& r, ScsiReply& reply) { return m_link.scsi(lpt, r, reply); }));
            } else {
                node->second->arrive(place);
            }
        }
        if (state.in_update_mode(lpt)) {
            std::unique_ptr<MockUsb>& usb = m_usb[lpt];
            if (!usb || usb->port() != unit.port || usb->serial() != unit.serial) {
                usb.reset(new MockUsb(m_testbed, m_link, lpt, unit.port, unit.serial));
            }
            usb->plug();
        }
    }
    return true;
}

bool BenchFace::start() {
    if (m_running) {
        return true;
    }
    if (!step()) {
        return false;
    }
    m_running = true;
    m_thread = std::thread([this] {
        while (m_running) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            step();
        }
    });
    return true;
}

void BenchFace::stop() {
    if (m_running.exchange(false)) {
        m_thread.join();
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_usb.clear();
    m_nodes.clear();
}

MockUsb* BenchFace::usb(int lpt) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_usb.find(lpt);
    return it == m_usb.end() ? nullptr : it->second.get();
}

}  // namespace sim
