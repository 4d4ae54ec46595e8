// The update-mode face of a bridge process on the emulated USB bus.
#include "usb_face.h"

namespace sim {

bool UsbFace::start() {
    if (m_follower) {
        return true;
    }
    if (!m_client.connect_from_env()) {
        return false;
    }
    m_link.reset(new ClientLink(m_client));
    m_serial.reset(new SerialLink(*m_link));
    m_usb.reset(new MockUsb(m_testbed, *m_serial));
    m_follower.reset(new UsbFollower(*m_usb, *m_serial));
    m_follower->start();
    return true;
}

void UsbFace::stop() {
    m_follower.reset();  // joins its thread first: nothing plugs the device again
    m_usb.reset();
    m_serial.reset();
    m_link.reset();
}

}  // namespace sim
