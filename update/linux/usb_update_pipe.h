// The update pipe over libusb: the first bulk OUT endpoint of interface 0 carries the commands,
// the first bulk IN endpoint the replies.
#ifndef BRG40_USB_UPDATE_PIPE_H
#define BRG40_USB_UPDATE_PIPE_H

#include <libusb.h>

#include <string>

#include "update_pipe.h"
#include "usb_update_device.h"

// Pinned to one unit: its device (at the unit's port, with the unit's serial when it has one) is
// found and its interface claimed at the first transfer, what the reply endpoint still holds from
// an earlier run is read and dropped, and the interface is kept for all transfers that follow. A
// transfer that the device stalls fails, and the halt is cleared on that endpoint; any other
// failure (time-out, device gone) releases the interface, and the next transfer finds the same
// unit's device again, never another.
class UsbUpdatePipe : public UpdatePipe {
public:
    explicit UsbUpdatePipe(UpdateUnit unit) : m_unit(std::move(unit)) {}
    ~UsbUpdatePipe() override;
    UsbUpdatePipe(const UsbUpdatePipe&) = delete;
    UsbUpdatePipe& operator=(const UsbUpdatePipe&) = delete;

    int Write(const uint8_t* data, uint32_t size) override;
    // A reply longer than size is read whole; its first size bytes are delivered.
    int Read(uint8_t* data, uint32_t size) override;
    // The unit's key while its device is open; empty otherwise.
    std::string DeviceId() override { return m_device; }

    // The endpoints in use while the device is open (0 otherwise).
    uint8_t CommandEndpoint() const { return m_commandEndpoint; }
    uint8_t ReplyEndpoint() const { return m_replyEndpoint; }

private:
    bool Open();
    bool Claim(libusb_device* device);
    void DrainReplies();
    void Close();
    int Transfer(uint8_t* data, uint32_t size, bool toDevice);
    // One bulk transfer: the libusb result. A stall is cleared on the endpoint before it returns
    // (LIBUSB_ERROR_PIPE); when the halt cannot be cleared, the result is that failure instead.
    int Bulk(uint8_t endpoint, uint8_t* data, int size, int* transferred, unsigned timeoutMs);

    const UpdateUnit m_unit;
    UsbContext m_usb;  // a context of its own: no state shared with other libusb users
    libusb_device_handle* m_handle = nullptr;
    uint8_t m_commandEndpoint = 0;
    uint8_t m_replyEndpoint = 0;
    int m_replyPacketSize = 0;  // wMaxPacketSize of the reply endpoint
    std::string m_device;
};

#endif
