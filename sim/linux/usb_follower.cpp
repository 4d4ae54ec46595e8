// The emulated USB device following the simulated converter's mode and plug.
#include "usb_follower.h"

#include <chrono>

namespace sim {

bool SerialLink::update_device_present() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_inner.update_device_present();
}

void SerialLink::pipe_write(const uint8_t* data, size_t size) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_inner.pipe_write(data, size);
}

size_t SerialLink::pipe_read(uint8_t* out, size_t size) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_inner.pipe_read(out, size);
}

void UsbFollower::step() {
    const bool present = m_link.update_device_present();
    if (present && !m_usb.plugged()) {
        m_usb.plug();
    } else if (!present && m_usb.plugged()) {
        m_usb.unplug();
    }
}

void UsbFollower::start() {
    if (m_running.exchange(true)) {
        return;
    }
    m_thread = std::thread([this] {
        while (m_running) {
            step();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
}

void UsbFollower::stop() {
    if (m_running.exchange(false)) {
        m_thread.join();
    }
}

}  // namespace sim
