// Keeps the emulated USB device in step with the simulated converter: on the bus while a
// converter is in update mode, gone otherwise (after the close byte, on an unplug).
#ifndef BRG40_SIM_LINUX_USB_FOLLOWER_H
#define BRG40_SIM_LINUX_USB_FOLLOWER_H

#include <atomic>
#include <mutex>
#include <thread>

#include "mock_usb.h"
#include "face_link.h"

namespace sim {

// One lock around every call of a link that is not synchronised (a simulator connection), as
// the ioctl handler and the follower reach it from two threads.
class SerialLink : public FaceLink {
public:
    explicit SerialLink(FaceLink& inner) : m_inner(inner) {}
    bool update_device_present() override;
    void pipe_write(const uint8_t* data, size_t size) override;
    size_t pipe_read(uint8_t* out, size_t size) override;

private:
    FaceLink& m_inner;
    std::mutex m_mutex;
};

class UsbFollower {
public:
    UsbFollower(MockUsb& usb, FaceLink& link) : m_usb(usb), m_link(link) {}
    ~UsbFollower() { stop(); }
    UsbFollower(const UsbFollower&) = delete;
    UsbFollower& operator=(const UsbFollower&) = delete;

    // One look: plugs or unplugs the USB device to match the converter.
    void step();
    // A step every 20 ms on a thread of its own, until stop().
    void start();
    void stop();

private:
    MockUsb& m_usb;
    FaceLink& m_link;
    std::atomic<bool> m_running{false};
    std::thread m_thread;
};

}  // namespace sim

#endif
