// Arrivals on Linux: udev's events for SCSI generic nodes (a converter in normal mode) and USB
// devices (one in update mode), read from a udev monitor. Without udev (no daemon, no access to
// its events) the wait is a plain wait, and the caller's listing finds the devices all the same.
#include "device_arrivals.h"

#include <libudev.h>
#include <poll.h>

#include <chrono>
#include <thread>

struct DeviceArrivals::Impl {
    udev* context = nullptr;
    udev_monitor* monitor = nullptr;
};

DeviceArrivals::DeviceArrivals() : m_impl(new Impl) {
    m_impl->context = udev_new();
    if (m_impl->context == nullptr) {
        return;
    }
    m_impl->monitor = udev_monitor_new_from_netlink(m_impl->context, "udev");
    if (m_impl->monitor != nullptr &&
        (udev_monitor_filter_add_match_subsystem_devtype(m_impl->monitor, "scsi_generic", nullptr) < 0 ||
         udev_monitor_filter_add_match_subsystem_devtype(m_impl->monitor, "usb", "usb_device") < 0 ||
         udev_monitor_enable_receiving(m_impl->monitor) < 0)) {
        udev_monitor_unref(m_impl->monitor);
        m_impl->monitor = nullptr;
    }
}

DeviceArrivals::~DeviceArrivals() {
    if (m_impl->monitor != nullptr) {
        udev_monitor_unref(m_impl->monitor);
    }
    if (m_impl->context != nullptr) {
        udev_unref(m_impl->context);
    }
}

bool DeviceArrivals::Events() const {
    return m_impl->monitor != nullptr;
}

void DeviceArrivals::Wait(double seconds, const std::function<bool()>& stop) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!stop() && std::chrono::steady_clock::now() < limit) {
        if (m_impl->monitor == nullptr) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            continue;
        }
        pollfd watched = {udev_monitor_get_fd(m_impl->monitor), POLLIN, 0};
        if (poll(&watched, 1, 100) > 0) {  // a tenth of a second: Ctrl+C is looked at as often
            bool any = false;
            while (udev_device* device = udev_monitor_receive_device(m_impl->monitor)) {
                udev_device_unref(device);
                any = true;
            }
            if (any) {
                return;
            }
        }
    }
}
