// The simulator's update-mode face on an emulated USB bus, for a bridge process: its own
// connection to the simulator, the USB device on the testbed while a converter is in update mode,
// bulk transfers carried to the loader's pipes.
#ifndef BRG40_SIM_LINUX_USB_FACE_H
#define BRG40_SIM_LINUX_USB_FACE_H

#include <umockdev.h>

#include <memory>

#include "client_link.h"
#include "mock_usb.h"
#include "sim_client.h"
#include "usb_follower.h"

namespace sim {

class UsbFace {
public:
    explicit UsbFace(UMockdevTestbed* testbed) : m_testbed(testbed) {}
    ~UsbFace() { stop(); }
    UsbFace(const UsbFace&) = delete;
    UsbFace& operator=(const UsbFace&) = delete;

    // Connects to the simulator named by the environment (see sim_client.h) and starts following
    // it. False when it cannot be reached.
    bool start();
    // Takes the device off the bus and stops following.
    void stop();

private:
    UMockdevTestbed* m_testbed;
    SimClient m_client;
    std::unique_ptr<ClientLink> m_link;
    std::unique_ptr<SerialLink> m_serial;
    std::unique_ptr<MockUsb> m_usb;
    std::unique_ptr<UsbFollower> m_follower;
};

}  // namespace sim

#endif
